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

TEST(CalpostParamsRead, DefaultsAndKeys)
{
    TempDir dir;
    test_support::WriteText(dir.File("k.ini"), "[IP401]\nBP_Type=1\nLCON=0\nALAL=0.5\nbpks=9\n");
    platform::ProfileFile profile(dir.File("k.ini"));
    profile.SetSection("IP401");
    CalpostParams p;
    kordex::auxiliary::ReadCalpostParams(profile, p);
    EXPECT_EQ(p.bpType, 1);
    EXPECT_EQ(p.lcon, 0);
    EXPECT_DOUBLE_EQ(p.alal, 0.5);
    EXPECT_DOUBLE_EQ(p.bpks, 9.0);
    EXPECT_DOUBLE_EQ(p.erch, 0.005);
    EXPECT_DOUBLE_EQ(p.aumr3, 240.0);
    EXPECT_DOUBLE_EQ(p.lcil, 1024.0);
    EXPECT_DOUBLE_EQ(p.alsks, 21.0);
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

TEST_F(CalpostBinding, ArgumentsArriveInTheirOrder)
{
    StageFixture f(8, 5);
    std::fill(f.image.begin(), f.image.end(), 1234);
    CalpostParams p;
    p.bpType = 1;  // passed as max(BP_Type, 2)
    double* fields[] = {&p.bpks, &p.bpal, &p.bpfr, &p.ercl, &p.erch, &p.tbth, &p.tbs1, &p.mrl, &p.mrm,
                        &p.mrp, &p.mrxc, &p.mra0, &p.mra1, &p.mra2, &p.mra3, &p.aumks, &p.aumal, &p.aumr1,
                        &p.aumg1, &p.aumr2, &p.aumg2, &p.aumr3, &p.aumg3, &p.nrks, &p.nral};
    for (int k = 0; k < 25; ++k) *fields[k] = 7 + k;  // parameter numbers 7..31
    p.lcon = 32;
    double* tail[] = {&p.lcil, &p.lcsl, &p.lccrx, &p.lccry, &p.alcl, &p.alch, &p.als1, &p.alsks, &p.alsal,
                      &p.alga, &p.alal};
    for (int k = 0; k < 11; ++k) *tail[k] = 33 + k;
    std::string error;
    ASSERT_EQ(kordex::auxiliary::RunCalpost(f.ctx, p, path_, &error), 1);
    EXPECT_EQ(record_->width, 8);
    EXPECT_EQ(record_->height, 5);
    EXPECT_EQ(record_->reserved4, 2);
    EXPECT_TRUE(record_->reservedNull);
    EXPECT_EQ(record_->firstPixel, 1234);
    for (int k = 0; k < 25; ++k) EXPECT_DOUBLE_EQ(record_->params[k], 7 + k) << "parameter " << 7 + k;
    EXPECT_EQ(record_->lcon, 32);
    for (int k = 0; k < 11; ++k) EXPECT_DOUBLE_EQ(record_->tail[k], 33 + k) << "parameter " << 33 + k;
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
