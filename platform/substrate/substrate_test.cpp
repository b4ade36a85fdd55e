#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/SimState/SimState.h"
#include "platform/substrate/SpringBoardApplication.h"
#include "platform/substrate/substrate.h"

namespace {

std::vector<std::string> calls;

void original(id, SEL, int value) { calls.push_back("original " + std::to_string(value)); }
void replacement(id, SEL, int value) { calls.push_back("replacement " + std::to_string(value)); }

IMP asIMP(void (*function)(id, SEL, int)) { return reinterpret_cast<IMP>(function); }

TEST(ObjCRuntime, SelectorsAndClassesAreFoundByName) {
  EXPECT_EQ(sel_registerName("tap:"), sel_registerName("tap:"));
  EXPECT_NE(sel_registerName("tap:"), sel_registerName("tap"));
  EXPECT_STREQ("tap:", sel_getName(sel_registerName("tap:")));

  EXPECT_EQ(nullptr, objc_getClass("RuntimeTestUnknown"));
  Class cls = objc_registerClass("RuntimeTestKnown");
  EXPECT_EQ(cls, objc_getClass("RuntimeTestKnown"));
  EXPECT_EQ(cls, objc_registerClass("RuntimeTestKnown"));
  EXPECT_EQ(nullptr, objc_getClass(nullptr));
}

TEST(ObjCRuntime, MessagesGoThroughTheTable) {
  Class cls = objc_registerClass("RuntimeTestSender");
  SEL run = sel_registerName("run:");
  EXPECT_TRUE(class_addMethod(cls, run, asIMP(original)));
  EXPECT_FALSE(class_addMethod(cls, run, asIMP(replacement)));  // an existing method stays

  objc_object object;
  object.isa = cls;
  calls.clear();
  EXPECT_TRUE(objc_msgSend(&object, run, 7));
  EXPECT_FALSE(objc_msgSend(&object, sel_registerName("unknown:"), 7));
  EXPECT_FALSE(objc_msgSend(static_cast<id>(nullptr), run, 7));
  EXPECT_EQ(std::vector<std::string>{"original 7"}, calls);
}

TEST(MSHookMessage, ReplacesTheMethodAndReturnsTheOriginal) {
  Class cls = objc_registerClass("HookTestTarget");
  SEL run = sel_registerName("run:");
  class_addMethod(cls, run, asIMP(original));

  IMP old = MSHookMessage(cls, run, asIMP(replacement), nullptr);
  EXPECT_EQ(asIMP(original), old);

  objc_object object;
  object.isa = cls;
  calls.clear();
  objc_msgSend(&object, run, 1);
  reinterpret_cast<void (*)(id, SEL, int)>(old)(&object, run, 2);
  EXPECT_EQ((std::vector<std::string>{"replacement 1", "original 2"}), calls);
  // Without a prefix the original is not added under another name.
  EXPECT_EQ(nullptr, class_getMethodImplementation(cls, sel_registerName("orig_run:")));
}

TEST(MSHookMessage, KeepsTheOriginalUnderThePrefix) {
  Class cls = objc_registerClass("HookTestPrefixed");
  SEL run = sel_registerName("run:");
  class_addMethod(cls, run, asIMP(original));
  MSHookMessage(cls, run, asIMP(replacement), "orig_");
  EXPECT_EQ(asIMP(original), class_getMethodImplementation(cls, sel_registerName("orig_run:")));
  EXPECT_EQ(asIMP(replacement), class_getMethodImplementation(cls, run));
}

TEST(MSHookMessage, LeavesMissingClassesAndMethodsAlone) {
  SEL run = sel_registerName("run:");
  EXPECT_EQ(nullptr, MSHookMessage(nullptr, run, asIMP(replacement), nullptr));
  Class cls = objc_registerClass("HookTestEmpty");
  EXPECT_EQ(nullptr, MSHookMessage(cls, run, asIMP(replacement), nullptr));
  EXPECT_EQ(nullptr, class_getMethodImplementation(cls, run));
}

TEST(UIApp, RecordsStatusBarImagesInTheJournal) {
  char rootTemplate[] = "/tmp/substrate_test.XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(rootTemplate));
  std::string root = rootTemplate;
  std::filesystem::create_directories(root + "/private/var");
  std::filesystem::create_directory_symlink("private/var", root + "/var");
  setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);

  UIApp->addStatusBarImageNamed("Mutaro");
  UIApp->removeStatusBarImageNamed("Mutaro");
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"add", "Mutaro"}, {"remove", "Mutaro"}}),
            simRead("statusbar"));

  unsetenv("MUTARO_DEVICE_ROOT");
  std::filesystem::remove_all(root);
}

}  // namespace
