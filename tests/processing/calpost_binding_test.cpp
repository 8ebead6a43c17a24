// The Calpost binding against a stand-in library copied under the name
// libcalpost.so into a temporary directory: search order, missing library
// and procedure, argument order, the 180-degree copy back and the release.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "calpost_stub.h"
#include "platform/profile_file.h"
#include "platform/text.h"
#include "processing/auxiliary/calpost_binding.h"
#include "stage_fixture.h"
#include "support/bind_symbol.h"
#include "support/temp_dir.h"

namespace {

using kordex::auxiliary::CalpostParams;
using test_support::StageFixture;
using test_support::TempDir;

void Copy(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

TEST(CalpostSearch, BesideTheLibraryThenHomeThenTheBareName)
{
    TempDir lib, home;
    const std::string libDir = lib.Path() + "/", homeDir = home.Path() + "/";
    EXPECT_EQ(kordex::auxiliary::LocateCalpost(libDir, homeDir), "libcalpost.so");
    test_support::WriteText(home.File("libcalpost.so"), "x");
    EXPECT_EQ(kordex::auxiliary::LocateCalpost(libDir, homeDir), homeDir + "libcalpost.so");
    test_support::WriteText(lib.File("libcalpost.so"), "x");
    EXPECT_EQ(kordex::auxiliary::LocateCalpost(libDir, homeDir), libDir + "libcalpost.so");
}

// The mode keys in the order of PostPrc's parameters 7..31 and 33..43.
constexpr const char* kKeys7To31[] = {"BPKS",  "BPAL",  "BPFR",  "ERCL",  "ERCH",  "TBTH",  "TBS1",
                                      "MRL",   "MRM",   "MRP",   "MRXC",  "MRA0",  "MRA1",  "MRA2",
                                      "MRA3",  "AUMKS", "AUMAL", "AUMR1", "AUMG1", "AUMR2", "AUMG2",
                                      "AUMR3", "AUMG3", "NRKS",  "NRAL"};
constexpr const char* kKeys33To43[] = {"LCIL", "LCSL", "LCCRX", "LCCRY", "ALCL", "ALCH",
                                       "ALS1", "ALSKS", "ALSAL", "ALGA", "ALAL"};

TEST(CalpostParamsRead, MissingKeysKeepTheDefaults)
{
    TempDir dir;
    platform::ProfileFile profile = test_support::ProfileOnSection(dir.File("k.ini"), "[IP401]\nCaption=c\n", "IP401");
    CalpostParams read;
    read.bpks = -1;  // a value no key sets: the reader must leave it
    kordex::auxiliary::ReadCalpostParams(profile, read);
    const CalpostParams d;
    EXPECT_TRUE(read.bpType == 2 && read.lcon == 1 && read.bpks == -1);
    EXPECT_TRUE(d.bpks == 5.0 && d.bpal == 7.0 && d.bpfr == 15.0 && d.ercl == 0.002 && d.erch == 0.005);
    EXPECT_TRUE(d.mrl == 4.0 && d.mrxc == 0.25 && d.mra1 == 3.0 && d.aumr3 == 240.0 && d.nral == 0.2);
    EXPECT_TRUE(d.lcil == 1024.0 && d.lcsl == 1.3 && d.alsks == 21.0 && d.alsal == 0.0005 && d.alal == 0.0);
}

class CalpostBinding : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.Ok());
        path_ = dir_.File("libcalpost.so");
        Copy(CALPOST_STUB_FILE, path_);
        // Held open by the test, so the binding's load finds the same copy
        // and its record outlives the binding's unload.
        handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        record_ = test_support::BindSymbol<CalpostStubCall* (*)()>(handle_, "CalpostStubRecord")();
        *record_ = CalpostStubCall{};
    }
    void TearDown() override
    {
        if (handle_) dlclose(handle_);
    }
    TempDir dir_;
    std::string path_;
    void* handle_ = nullptr;
    CalpostStubCall* record_ = nullptr;
};

TEST_F(CalpostBinding, ResultComesBackTurnedBy180DegreesAndIsReleased)
{
    StageFixture f(6, 4);
    std::fill(f.image.begin(), f.image.end(), 700);
    std::string error;
    EXPECT_EQ(kordex::auxiliary::RunCalpost(f.ctx, CalpostParams{}, path_, &error), 1);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(record_->calls, 1);
    EXPECT_EQ(record_->freed, 1);
    // The stand-in returns 0, 1, 2, ... in its output order.
    for (std::size_t k = 0; k < f.image.size(); ++k) EXPECT_EQ(f.image[f.image.size() - 1 - k], static_cast<int>(k));
    EXPECT_EQ(f.dumps, std::vector<std::string>{"1normal.raw"});
}

TEST_F(CalpostBinding, EveryKeyArrivesAsItsParameter)
{
    // Each key holds the number of the parameter it must fill.
    std::string section = "[IP401]\nBP_Type=1\nLCON=32\n";
    for (int k = 0; k < 25; ++k) section += platform::Format("%s=%d\n", kKeys7To31[k], 7 + k);
    for (int k = 0; k < 11; ++k) section += platform::Format("%s=%d\n", kKeys33To43[k], 33 + k);
    platform::ProfileFile profile = test_support::ProfileOnSection(dir_.File("k.ini"), section, "IP401");
    CalpostParams p;
    kordex::auxiliary::ReadCalpostParams(profile, p);
    StageFixture f(8, 5);
    std::fill(f.image.begin(), f.image.end(), 1234);
    std::string error;
    ASSERT_EQ(kordex::auxiliary::RunCalpost(f.ctx, p, path_, &error), 1);
    EXPECT_EQ(record_->width, 8);
    EXPECT_EQ(record_->height, 5);
    EXPECT_EQ(record_->reserved4, 2);  // max(BP_Type, 2)
    EXPECT_TRUE(record_->reservedNull);
    EXPECT_EQ(record_->firstPixel, 1234);
    for (int k = 0; k < 25; ++k) EXPECT_DOUBLE_EQ(record_->params[k], 7 + k) << kKeys7To31[k];
    EXPECT_EQ(record_->lcon, 32);
    for (int k = 0; k < 11; ++k) EXPECT_DOUBLE_EQ(record_->tail[k], 33 + k) << kKeys33To43[k];
}

TEST_F(CalpostBinding, NullResultIsTheInternalFault)
{
    StageFixture f(6, 4);
    CalpostParams p;
    p.bpal = -1;  // the stand-in's detail factor: negative returns null
    std::string error;
    EXPECT_EQ(kordex::auxiliary::RunCalpost(f.ctx, p, path_, &error), -1);
    EXPECT_EQ(error, "Aux IP internal fault");
    EXPECT_EQ(record_->freed, 0);
}

TEST(CalpostBindingFailures, MissingLibraryAndMissingProcedure)
{
    StageFixture f(6, 4);
    std::fill(f.image.begin(), f.image.end(), 5);
    const auto before = f.image;
    std::string error;
    // Absent beside the library and in the home directory: the bare name
    // goes to the system search, and the message names it.
    TempDir lib, home;
    const std::string tried = kordex::auxiliary::LocateCalpost(lib.Path() + "/", home.Path() + "/",
                                                                "libcalpost-absent-here.so");
    EXPECT_EQ(kordex::auxiliary::RunCalpost(f.ctx, CalpostParams{}, tried, &error), -1);
    EXPECT_EQ(error, "Aux IP can't load libcalpost-absent-here.so");
    EXPECT_EQ(f.image, before);

    Copy(CALPOST_NO_PROCEDURE_FILE, lib.File("libcalpost.so"));
    error.clear();
    EXPECT_EQ(kordex::auxiliary::RunCalpost(f.ctx, CalpostParams{}, lib.File("libcalpost.so"), &error), -1);
    EXPECT_EQ(error, "Aux IP can't find procedure PostPrc in the DLL");
    EXPECT_EQ(f.image, before);
}

TEST(IsolatedPixels, LonePixelsTakeTheMeanOfTheirEightNeighbours)
{
    StageFixture f(7, 6);
    f.At(3, 3) = 1000;            // alone: (8 * 0) / 8
    f.At(3, 0) = 1000;            // top edge: its clamped neighbours include itself once
    f.At(0, 5) = 1000;            // corner: itself three times, so never alone
    f.At(5, 2) = 400;
    f.At(6, 2) = 450;             // two similar neighbours each: ...
    f.At(5, 3) = 430;             // ... these stay
    kordex::auxiliary::RemoveIsolatedPixels(f.ctx);
    EXPECT_EQ(f.At(3, 3), 0);
    EXPECT_EQ(f.At(3, 0), 1000 / 8);
    EXPECT_EQ(f.At(0, 5), 1000);
    EXPECT_EQ(f.At(5, 2), 400);
    EXPECT_EQ(f.At(5, 3), 430);
    EXPECT_EQ(f.At(2, 3), 0);  // a neighbour of the lone pixel has 7 similar ones
}

}  // namespace
