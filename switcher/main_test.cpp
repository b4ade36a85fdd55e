// The switcher's command line and its binding of GraphicsServices.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "settings-store/SettingsKeys.h"
#include "switcher/SwitcherPhone.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char* kBanner = "(((((((((((((((((((((( mutarodh ))))))))))))))))))";

// Runs each argument list on a phone of its own, all at once.
std::vector<SwitcherRun> runEach(std::vector<SwitcherPhone>& phones,
                                 const std::vector<std::vector<std::string>>& arguments) {
  std::vector<pid_t> processes;
  for (size_t i = 0; i < phones.size(); ++i) processes.push_back(phones[i].start(arguments[i]));
  std::vector<SwitcherRun> runs;
  for (size_t i = 0; i < phones.size(); ++i) runs.push_back(phones[i].finish(processes[i]));
  return runs;
}

}  // namespace

TEST(SwitcherCommandLine, ArgumentCountAndValue) {
  const std::vector<std::vector<std::string>> arguments = {
      {}, {"1", "0"}, {"abc"}, {""}, {"1x"}, {" 1"}, {"2"}, {"-1"}};
  std::vector<SwitcherPhone> phones(arguments.size());
  std::vector<SwitcherRun> runs = runEach(phones, arguments);

  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    EXPECT_EQ(0, runs[i].exitStatus);
    std::vector<std::string> log = logMessages(runs[i].err);
    if (i < 2) {  // usage only: no banner, nothing done
      EXPECT_EQ("./Mutarodh 0/1\n", runs[i].out);
      EXPECT_EQ("", runs[i].err);
    } else if (i < 4) {  // no leading digits: 0, the revert
      EXPECT_EQ("Reverted", log.back());
      EXPECT_TRUE(phones[i].settings()->stringForKey(kUpdatedRevert).has_value());
    } else if (i < 6) {  // leading blanks skipped, trailing text ignored: 1, the silence
      EXPECT_EQ("Changed", log.back());
      EXPECT_TRUE(phones[i].exists(kMarkerPath));
    } else {  // any other value: the banner and nothing else
      EXPECT_THAT(log, ElementsAre(kBanner));
      EXPECT_EQ("", runs[i].out);
    }
    bool ran = i >= 2 && i < 6;
    EXPECT_EQ(ran ? kVibrationsPerCue : 0, phones[i].vibrations());
    if (i >= 2) {
      EXPECT_EQ(kBanner, log.front());
    }
  }
}

TEST(SwitcherCommandLine, StopsBeforeChangingAnythingWithoutGraphicsServices) {
  // A library that loads but lacks the announcement function: the C math library.
  Dl_info mathLibrary;
  ASSERT_NE(0, dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(&std::cos)),
                      &mathLibrary));
  std::vector<SwitcherPhone> phones(3);
  phones[0].remove(kGraphicsServicesPath);
  for (int i : {1, 2}) {
    std::filesystem::copy_file(mathLibrary.dli_fname, phones[i].root() + kGraphicsServicesPath,
                               std::filesystem::copy_options::overwrite_existing);
  }
  phones[2].writeBytes(kMarkerPath, "");
  std::vector<std::string> settings;
  for (SwitcherPhone& phone : phones) settings.push_back(phone.bytes(kSettingsPath));

  std::vector<SwitcherRun> runs = runEach(phones, {{"1"}, {"1"}, {"0"}});

  EXPECT_THAT(logMessages(runs[0].err), ElementsAre(kBanner, "Could not open library"));
  EXPECT_THAT(logMessages(runs[1].err),
              ElementsAre(kBanner, ::testing::HasSubstr("GSSendAppPreferencesChanged")));
  for (size_t i = 0; i < phones.size(); ++i) {
    EXPECT_EQ(255, runs[i].exitStatus);
    EXPECT_EQ(i == 2, phones[i].exists(kMarkerPath));
    EXPECT_EQ(settings[i], phones[i].bytes(kSettingsPath));
    EXPECT_EQ(0, phones[i].vibrations());
    EXPECT_THAT(phones[i].announcements(), IsEmpty());
    EXPECT_FLOAT_EQ(0.75f, phones[i].volume());
  }
}
