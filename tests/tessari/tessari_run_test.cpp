// Tessari end to end: the real program with the real libkordex.so and the
// virtual sensor, one private D-Bus session bus per case (the test program
// runs under dbus-run-session), headless, with its own settings file, home
// directory and named events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace {

using test_support::ReadText;
using test_support::WriteText;

constexpr int kCutWidth = 688;
constexpr int kCutHeight = 910;

struct Broadcast {
    std::string name;
    int first;
    int second;
};

// Collects the broadcasts of the session bus.
class BroadcastListener : public QObject {
    Q_OBJECT
public:
    BroadcastListener()
    {
        QDBusConnection::sessionBus().connect(QString(), "/org/kordex/Broadcast", "org.kordex.Broadcast", "Message",
                                              this, SLOT(OnMessage(QString, int, int)));
    }
    std::vector<Broadcast> received;
public slots:
    void OnMessage(const QString& name, int first, int second)
    {
        received.push_back({name.toStdString(), first, second});
    }
};

void SendBroadcast(const std::string& name, int first, int second)
{
    QDBusMessage signal = QDBusMessage::createSignal("/org/kordex/Broadcast", "org.kordex.Broadcast", "Message");
    signal << QString::fromStdString(name) << first << second;
    QDBusConnection::sessionBus().send(signal);
}

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "tessari_run_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

struct RunResult {
    int exitCode = -1;
    std::string stdErr;
    std::string stdOut;
    std::vector<Broadcast> broadcasts;
};

class TessariRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        home_ = dir_.Path() + "/home/";
        std::filesystem::create_directories(home_ + "CAL");
        const std::string tag = std::to_string(getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        okEvent_ = "tessari test ok " + tag;
        errorEvent_ = "tessari test error " + tag;
        broadcastName_ = "Tessari test captured " + tag;
        for (const std::string& e : {okEvent_, errorEvent_}) {
            sem_t* s = sem_open(("/" + e).c_str(), O_CREAT | O_EXCL, 0600, 0);
            ASSERT_NE(s, SEM_FAILED) << e;
            sem_close(s);
        }
        Set("Settings", "HomeDir", home_);
        Set("Settings", "SensorLink", "virtual");
        Set("Virtual Sensor", "ShotDelayMs", "50");
        Set("Capture application", "Final_Event", okEvent_);
        Set("Capture application", "Final_EventError", errorEvent_);
        Set("Capture application", "Final_BroadcastMsg", broadcastName_);
        Set("IP1", "Caption", "test mode");
        Set("IP12", "Caption", "test mode 12");
        Set("IP5", "Caption", "test mode 5");
    }
    void TearDown() override
    {
        sem_unlink(("/" + okEvent_).c_str());
        sem_unlink(("/" + errorEvent_).c_str());
    }

    void Set(const std::string& section, const std::string& key, const std::string& value)
    {
        settings_[section][key] = value;
    }

    void WriteSettings() const
    {
        std::string text;
        for (const auto& [section, keys] : settings_) {
            text += "[" + section + "]\n";
            for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
        }
        WriteText(IniPath(), text);
    }

    std::string IniPath() const { return dir_.Path() + "/kordex.ini"; }
    std::string Output(const std::string& name) const { return home_ + "BACKUP/" + name; }
    std::string Log() const { return ReadText(home_ + "Log/EU00.log"); }

    // Runs tessari; while cancelWhileRunning, sends the final broadcast
    // with (0, -1) every 100 ms once the program runs for 300 ms.
    RunResult Run(const QStringList& args, bool cancelWhileRunning = false)
    {
        WriteSettings();
        BroadcastListener listener;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KORDEX_INI", QString::fromStdString(IniPath()));
        env.insert("HOME", QString::fromStdString(dir_.Path()));
        env.insert("KORDEX_HEADLESS", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (virtualByEnvironment_) env.insert("KORDEX_SENSOR_LINK", "virtual");
        else env.remove("KORDEX_SENSOR_LINK");
        env.insert("KORDEX_TEST_TIME_SCALE", "0.05");
        // Qt and font libraries keep caches to the end of a process.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process.setProcessEnvironment(env);
        process.start(TESSARI_PROGRAM, args);
        EXPECT_TRUE(process.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        qint64 lastCancel = 0;
        while (process.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            process.waitForFinished(20);
            if (cancelWhileRunning && clock.elapsed() > 300 && clock.elapsed() - lastCancel > 100) {
                SendBroadcast(broadcastName_, 0, -1);
                lastCancel = clock.elapsed();
            }
        }
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "tessari did not end";
        }
        // Tessari makes a round trip to the bus before it exits, so the bus
        // has already routed its signals to this connection; a round trip of
        // ours brings its reply in behind them. Then they are delivered.
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 100) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        RunResult result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.stdErr = process.readAllStandardError().toStdString();
        result.stdOut = process.readAllStandardOutput().toStdString();
        for (const Broadcast& b : listener.received)
            if (b.name != broadcastName_ || b.second != -1) result.broadcasts.push_back(b);
        return result;
    }

    bool EventSet(const std::string& name) const
    {
        sem_t* s = sem_open(("/" + name).c_str(), 0);
        if (s == SEM_FAILED) return false;
        const bool set = sem_trywait(s) == 0;
        sem_close(s);
        return set;
    }

    void ExpectSuccess(const RunResult& run)
    {
        EXPECT_EQ(run.exitCode, 0) << run.stdErr;
        EXPECT_TRUE(EventSet(okEvent_));
        EXPECT_FALSE(EventSet(errorEvent_));
        ASSERT_EQ(run.broadcasts.size(), 1u) << run.stdErr;
        EXPECT_EQ(run.broadcasts[0].name, broadcastName_);
        EXPECT_EQ(run.broadcasts[0].first, 0);
    }

    void ExpectFailure(const RunResult& run, bool broadcast = true)
    {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(EventSet(okEvent_));
        EXPECT_TRUE(EventSet(errorEvent_));
        if (broadcast) {
            ASSERT_EQ(run.broadcasts.size(), 1u);
            EXPECT_EQ(run.broadcasts[0].first, 1);
            EXPECT_EQ(run.broadcasts[0].second, 0);
        } else {
            EXPECT_TRUE(run.broadcasts.empty());
        }
    }

    test_support::TempDir dir_;
    std::string home_;
    std::string okEvent_, errorEvent_, broadcastName_;
    bool virtualByEnvironment_ = true;
    std::map<std::string, std::map<std::string, std::string>> settings_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

TEST_F(TessariRun, ToothAndEntryChooseTheMode)
{
    Set("Capture application", "IPMolarUp", "11 12 13");
    Set("Capture application", "DumpTemps", "1");
    const RunResult run = Run({"-t", "16", "-p", "2"});
    ExpectSuccess(run);
    EXPECT_NE(Log().find("use [IP12] (entry 2 in IPMolarUp=11 12 13, tooth_index 16)"), std::string::npos) << Log();
    EXPECT_NE(Log().find("Command line: -T 16 -P 2"), std::string::npos);

    // The bitmap, the raw side files and the DICOM image of the same result.
    const std::vector<std::uint8_t> bmp = ReadBytes(Output("image.bmp"));
    ASSERT_GT(bmp.size(), 1078u);
    EXPECT_EQ(Get32(bmp, 18), kCutWidth);
    EXPECT_EQ(Get32(bmp, 22), kCutHeight);
    EXPECT_TRUE(std::filesystem::exists(Output("$raw910x688.raw")));
    EXPECT_EQ(std::filesystem::file_size(Output("$cap688x910.raw")), 2u * kCutWidth * kCutHeight);
    const std::vector<std::uint8_t> enh = ReadBytes(Output("$enh688x910.raw"));
    ASSERT_EQ(enh.size(), 2u * kCutWidth * kCutHeight);

    const std::string dcm = Output("image.dcm");
    ASSERT_TRUE(std::filesystem::exists(dcm));
    EXPECT_EQ(std::system(("dciodvfy '" + dcm + "' > /dev/null 2>&1").c_str()), 0);
    EXPECT_EQ(std::system(("dcmdump '" + dcm + "' > /dev/null 2>&1").c_str()), 0);
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(dcm.c_str()).good());
    const Uint16* pixels = nullptr;
    unsigned long count = 0;
    ASSERT_TRUE(file.getDataset()->findAndGetUint16Array(DCM_PixelData, pixels, &count).good());
    ASSERT_EQ(count, static_cast<unsigned long>(kCutWidth) * kCutHeight);
    for (unsigned long i = 0; i < count; ++i) {
        const auto v = static_cast<std::int16_t>(enh[2 * i] | (enh[2 * i + 1] << 8));
        ASSERT_EQ(pixels[i], static_cast<Uint16>(v < 0 ? 0 : v)) << i;
    }
    OFString comments;
    file.getDataset()->findAndGetOFString(DCM_ImageComments, comments);
    EXPECT_NE(comments.find("SIMULATED"), OFString_npos);
    // The calibration set is empty: the image says what it was not corrected for.
    for (const char* note : {"not offset-corrected: dark.raw missing", "not gain-corrected: no gain points",
                             "no bad-pixel correction: BPM.raw and BPMM.raw missing"})
        EXPECT_NE(comments.find(note), OFString_npos) << note << " in " << comments;
    DcmItem* tooth = nullptr;
    ASSERT_TRUE(file.getDataset()->findAndGetSequenceItem(DCM_PrimaryAnatomicStructureSequence, tooth, 0).good());
    OFString code;
    tooth->findAndGetOFString(DCM_CodeValue, code);
    EXPECT_EQ(code, "865995000");  // FDI 16
}

TEST_F(TessariRun, WrongToothFailsWithoutCapture)
{
    const RunResult run = Run({"-T19"});
    ExpectFailure(run);
    EXPECT_NE(run.stdErr.find("Wrong tooth index 19"), std::string::npos) << run.stdErr;
    EXPECT_NE(Log().find("Error message dispayed: Wrong tooth index 19"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Output("image.bmp")));
}

TEST_F(TessariRun, ToothZeroUsesTheReIndexList)
{
    Set("Capture application", "IPReIndex", "5 6");
    const RunResult run = Run({"-T0"});
    ExpectSuccess(run);
    EXPECT_NE(Log().find("use [IP5] (entry 1 in IPReIndex=5 6, tooth_index 0)"), std::string::npos);
}

TEST_F(TessariRun, MissingEntryFails)
{
    Set("Capture application", "IPFrontUp", "3");
    const RunResult run = Run({"-T11", "-P2"});
    ExpectFailure(run);
    EXPECT_NE(run.stdErr.find("Can't find entry#2 in IPFrontUp=3"), std::string::npos) << run.stdErr;
}

TEST_F(TessariRun, NegativeModeSkipsProcessingAndTheBitmap)
{
    Set("Capture application", "DumpTemps", "1");
    const RunResult run = Run({"-P-1"});
    ExpectSuccess(run);
    EXPECT_TRUE(std::filesystem::exists(Output("$cap688x910.raw")));
    EXPECT_FALSE(std::filesystem::exists(Output("$enh688x910.raw")));
    EXPECT_FALSE(std::filesystem::exists(Output("image.bmp")));
    EXPECT_FALSE(std::filesystem::exists(Output("image.dcm")));
}

TEST_F(TessariRun, RawFileOnlyWithSizeSuffix)
{
    const std::string name = dir_.Path() + "/out/a";
    std::filesystem::create_directories(dir_.Path() + "/out");
    const RunResult run = Run({QString::fromStdString("-F" + name)});
    ExpectSuccess(run);
    EXPECT_EQ(std::filesystem::file_size(name + "910x688.raw"), 2u * 910 * 688);
    EXPECT_FALSE(std::filesystem::exists(Output("image.bmp")));
    EXPECT_FALSE(std::filesystem::exists(home_ + "DG_IF.ini"));  // only after a full capture
    EXPECT_EQ(Log().find("Calibration done"), std::string::npos);
}

TEST_F(TessariRun, BitmapCropMargins)
{
    struct Case {
        const char* key;
        const char* value;
        int width, height;
    };
    const Case cases[] = {{"BMPCropLeft", "8", 680, 910}, {"BMPCropTop", "-10", 688, 920}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Set("Capture application", "BMPCropLeft", "0");
        Set("Capture application", "BMPCropTop", "0");
        Set("Capture application", c.key, c.value);
        ExpectSuccess(Run({}));
        const std::vector<std::uint8_t> bmp = ReadBytes(Output("image.bmp"));
        ASSERT_GT(bmp.size(), 54u);
        EXPECT_EQ(Get32(bmp, 18), c.width);
        EXPECT_EQ(Get32(bmp, 22), c.height);
        const std::size_t stride = (static_cast<std::size_t>(c.width) + 3) & ~std::size_t{3};
        EXPECT_EQ(stride, static_cast<std::size_t>(c.width));  // 680 and 688 need no padding
        ASSERT_EQ(bmp.size(), 1078u + stride * c.height);
        if (c.height == 920) {
            // The image's top rows are the file's last rows: the grey strip.
            for (std::size_t row = 910; row < 920; ++row)
                for (std::size_t x = 0; x < stride; ++x) ASSERT_EQ(bmp[1078 + row * stride + x], 127) << row;
        }
        EXPECT_NE(Log().find(std::string("Crop 688x910 l:") + (c.width == 680 ? "8,t:0" : "0,t:-10")), std::string::npos);
    }
}

TEST_F(TessariRun, DicomInformationFile)
{
    Set("Capture application", "DICOMPixSpacing", "0.02\\0.02");
    ExpectSuccess(Run({}));
    const std::string info = ReadText(home_ + "DG_IF.ini");
    for (const char* line : {"[DICOM_GATEWAY]", "0008_0060=IO", "0018_0015=TOOTH", "0018_5101=AP", "0028_0010=910",
                             "0028_0011=688", "0028_0030=0.02\\0.02", "0028_0100=8", "0028_0101=8", "0028_1050=127",
                             "0028_1051=256", "0002_0013=Halvard.Co.LTD Radiography Imager",
                             "0008_1030=Intra-oral X-Ray Image", "0018_1164=0.02\\0.02", "0020_0013=1"})
        EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
}

TEST_F(TessariRun, ARefusedPixelSpacingIsRefusedForTheImageAndTheInformationFile)
{
    Set("Capture application", "DICOMPixSpacing", "0.02 mm");
    ExpectSuccess(Run({}));
    const std::string info = ReadText(home_ + "DG_IF.ini");
    EXPECT_NE(info.find("0028_0030=0.0333333\\0.0333333"), std::string::npos) << info;
    EXPECT_NE(info.find("0018_1164=0.0333333\\0.0333333"), std::string::npos) << info;
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(Output("image.dcm").c_str()).good());
    OFString spacing;
    file.getDataset()->findAndGetOFStringArray(DCM_ImagerPixelSpacing, spacing);
    EXPECT_EQ(spacing, "0.0333333\\0.0333333");
    EXPECT_NE(Log().find("WRN: DICOMPixSpacing \"0.02 mm\" is not two numbers"), std::string::npos) << Log();
}

TEST_F(TessariRun, ReadingItsSettingsWritesNoKeyOfTheLibrary)
{
    // The sensor link comes from [Settings] (no environment variable): a USB
    // sensor that is not there, so the run fails; kordex.ini gains nothing
    // in [Settings].
    settings_["Settings"].erase("SensorLink");
    virtualByEnvironment_ = false;
    ExpectFailure(Run({}));
    platform::ProfileFile ini(IniPath());
    ini.SetSection("Settings");
    ini.ReadString("SensorLink", "");
    EXPECT_FALSE(ini.Found()) << ReadText(IniPath());
}

TEST_F(TessariRun, HelpAndVersionAnswerWithoutTheLibrary)
{
    for (const char* arg : {"--help", "--version"}) {
        SCOPED_TRACE(arg);
        const RunResult run = Run({arg});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.stdOut.find(std::string(arg) == "--help" ? "Usage: tessari" : "tessari 1."), std::string::npos)
            << run.stdOut;
        EXPECT_TRUE(run.broadcasts.empty());
        EXPECT_FALSE(EventSet(okEvent_));
        EXPECT_FALSE(EventSet(errorEvent_));
        EXPECT_FALSE(std::filesystem::exists(home_ + "Log/EU00.log")) << "no library, no log";
    }
}

TEST_F(TessariRun, ASwitchInsideAFileNameTakesNoRadiograph)
{
    // "-d" inside the name is no dark frame: the run waits for the shot
    // (ShotDelayMs) and writes the raw bright frame.
    const std::string name = dir_.Path() + "/patient-doe.raw";
    ExpectSuccess(Run({QString::fromStdString("-F" + name)}));
    EXPECT_EQ(std::filesystem::file_size(name), 2u * 910 * 688);
    EXPECT_NE(Log().find("Acqusition flags=1h"), std::string::npos) << Log();
    // -F without a name and -T without a number are refused.
    for (const char* line : {"-F", "-T"}) {
        SCOPED_TRACE(line);
        const RunResult run = Run({line});
        ExpectFailure(run);
        EXPECT_NE(run.stdErr.find("Wrong command line"), std::string::npos) << run.stdErr;
        EXPECT_EQ(Log().find("Acqusition"), std::string::npos) << "no capture";
    }
}

TEST_F(TessariRun, EmptyDicomInfoFileIsNeitherWrittenNorDeleted)
{
    Set("Capture application", "DICOMInfoFile", "\\");  // a lone backslash is the empty text
    ExpectSuccess(Run({}));
    EXPECT_FALSE(std::filesystem::exists(home_ + "DG_IF.ini"));
    WriteText(home_ + "DG_IF.ini", "[DICOM_GATEWAY]\n");
    ExpectFailure(Run({"-T19"}));
    EXPECT_TRUE(std::filesystem::exists(home_ + "DG_IF.ini"));
}

TEST_F(TessariRun, StaleInformationAndPacsFilesGoAfterAFailure)
{
    const std::string pacs = dir_.Path() + "/pacs.bmp";
    Set("Capture application", "PACS_SaveFileName", pacs);
    WriteText(home_ + "DG_IF.ini", "[DICOM_GATEWAY]\n0028_0010=1\n");
    WriteText(pacs, "old");
    ExpectFailure(Run({"-T19"}));
    EXPECT_FALSE(std::filesystem::exists(home_ + "DG_IF.ini"));
    EXPECT_FALSE(std::filesystem::exists(pacs));
}

TEST_F(TessariRun, AResultThatCannotBeWrittenFailsTheRun)
{
    // A full disk (a link to /dev/full) or a folder that cannot be made: the
    // run fails with the file's text, the failure event and broadcast, exit
    // 1, and no information file.
    const struct {
        const char* name;
        const char* fullFile;    // a result file made a link to /dev/full
        bool backupIsAFile;      // the output folder cannot be made
        bool infoIsAFolder;      // the information file cannot be written
        bool rawToFull;          // -F names a link to /dev/full
        const char* text;        // the error, after "can't create "
    } cases[] = {
        {"image.bmp on a full disk", "image.bmp", false, false, false, "BACKUP/image.bmp"},
        {"image.dcm on a full disk", "image.dcm", false, false, false, "BACKUP/image.dcm"},
        {"no output folder", nullptr, true, false, false, "BACKUP/image.bmp"},
        {"no information file", nullptr, false, true, false, "DG_IF.ini"},
        {"-F on a full disk", nullptr, false, false, true, nullptr},  // the -F name itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home_ + "BACKUP");
        std::filesystem::remove_all(home_ + "DG_IF.ini");
        if (c.fullFile) {
            std::filesystem::create_directories(home_ + "BACKUP");
            std::filesystem::create_symlink("/dev/full", Output(c.fullFile));
        }
        if (c.backupIsAFile) WriteText(home_ + "BACKUP", "not a folder");
        if (c.infoIsAFolder) std::filesystem::create_directories(home_ + "DG_IF.ini");
        const std::string rawFile = dir_.Path() + "/scan.raw";
        std::filesystem::remove(rawFile);
        if (c.rawToFull) std::filesystem::create_symlink("/dev/full", rawFile);
        const RunResult run = c.rawToFull ? Run({QString::fromStdString("-F" + rawFile)}) : Run({});
        ExpectFailure(run);
        const std::string expected = "can't create " + (c.text ? home_ + c.text : rawFile);
        EXPECT_NE(run.stdErr.find(expected), std::string::npos) << run.stdErr;
        if (!c.infoIsAFolder) {
            EXPECT_FALSE(std::filesystem::exists(home_ + "DG_IF.ini"));
        }
        if (c.fullFile) {
            for (const auto& entry : std::filesystem::directory_iterator(home_ + "BACKUP"))
                EXPECT_NE(entry.path().filename().string().rfind(".", 0), 0u) << "a temporary file was left: " << entry.path();
        }
    }
    std::filesystem::remove_all(home_ + "BACKUP");
    std::filesystem::remove_all(home_ + "DG_IF.ini");
}

TEST_F(TessariRun, PacsCopyAndItsBroadcast)
{
    const std::string pacs = dir_.Path() + "/pacs.bmp";
    Set("Capture application", "PACS_SaveFileName", pacs);
    Set("Capture application", "PACS_FinalBroadcastMsg", "Tessari test PACS");
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadBytes(pacs), ReadBytes(Output("image.bmp")));
    ASSERT_EQ(run.broadcasts.size(), 2u);
    EXPECT_EQ(run.broadcasts[0].name, broadcastName_);
    EXPECT_EQ(run.broadcasts[1].name, "Tessari test PACS");
    EXPECT_EQ(run.broadcasts[1].first, 0);
}

TEST_F(TessariRun, BroadcastCancelsTheWaitForTheShot)
{
    Set("Virtual Sensor", "ShotDelayMs", "60000");
    const RunResult run = Run({}, /*cancelWhileRunning=*/true);
    ExpectFailure(run, /*broadcast=*/false);
    EXPECT_NE(run.stdErr.find("Abort acquisition"), std::string::npos) << run.stdErr;
    EXPECT_FALSE(std::filesystem::exists(Output("image.bmp")));
}

TEST_F(TessariRun, DeviceFaultFailsWithTheLibraryText)
{
    Set("Virtual Sensor", "Fault", "missing");
    const RunResult run = Run({});
    ExpectFailure(run);
    EXPECT_NE(Log().find("Error message dispayed: "), std::string::npos);
}

}  // namespace

#include "tessari_run_test.moc"
