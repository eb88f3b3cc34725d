// The command line as pure logic: options, the one file, relative paths, file:// URIs, refusals.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Paths.h"

namespace {

using Action = StartRequest::Action;

StartRequest Parse(const std::vector<std::string>& args, const std::string& folder = "/home/u") {
  return ParseCommandLine(args, folder, "thisbox");
}

}  // namespace

TEST(CommandLine, OptionsAndTheFileOpenedAtStart) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::u16string file;
  } cases[] = {
      {{}, Action::Run, u""},
      {{"--help"}, Action::Help, u""},
      {{"-h"}, Action::Help, u""},
      {{"--version"}, Action::Version, u""},
      {{"a.jpg", "--version"}, Action::Version, u""},  // an option wins wherever it stands
      {{"/tmp/clip.avi"}, Action::Run, u"\\tmp\\clip.avi"},
      {{"clip.avi"}, Action::Run, u"\\home\\u\\clip.avi"},
      {{"./sub//a b.jpg"}, Action::Run, u"\\home\\u\\sub\\a b.jpg"},
      {{"../x/日本.gif"}, Action::Run, u"\\home\\u\\..\\x\\日本.gif"},
      {{"--", "--help"}, Action::Run, u"\\home\\u\\--help"},
      {{"--", "-"}, Action::Run, u"\\home\\u\\-"},
      {{"file:///tmp/a%20b/%E6%97%A5%E6%9C%AC.jpg"}, Action::Run, u"\\tmp\\a b\\日本.jpg"},
      {{"FILE:///tmp/x.bmp"}, Action::Run, u"\\tmp\\x.bmp"},
      {{"file://localhost/tmp/x.bmp"}, Action::Run, u"\\tmp\\x.bmp"},
      {{"file://thisbox/tmp/x.bmp"}, Action::Run, u"\\tmp\\x.bmp"},
      {{"file:/tmp/x.bmp"}, Action::Run, u"\\tmp\\x.bmp"},
      {{"file:///tmp/100%25.jpg"}, Action::Run, u"\\tmp\\100%.jpg"},
      {{"a:b.jpg"}, Action::Run, u"\\home\\u\\a:b.jpg"},  // a colon alone makes no URI
      {{"--scale=2", "a.jpg"}, Action::Run, u"\\home\\u\\a.jpg"},
      {{"--", "--scale=2"}, Action::Run, u"\\home\\u\\--scale=2"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    const StartRequest r = Parse(c.args);
    EXPECT_EQ(c.action, r.action) << r.error;
    EXPECT_EQ(c.file, r.file);
  }
}

TEST(CommandLine, TheScaleOption) {
  const struct {
    std::vector<std::string> args;
    int scale;
  } cases[] = {
      {{}, 0},  // as the desktop asks
      {{"--scale=1"}, 1},
      {{"--scale=2", "a.jpg"}, 2},
      {{"a.jpg", "--scale=8"}, 8},
      {{"--scale=3", "--scale=2"}, 2},  // the last one counts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    const StartRequest r = Parse(c.args);
    EXPECT_EQ(Action::Run, r.action) << r.error;
    EXPECT_EQ(c.scale, r.scale);
  }
  for (const char* bad :
       {"--scale=0", "--scale=9", "--scale=", "--scale=1.5", "--scale=-2", "--scale=02x", "--scale"}) {
    SCOPED_TRACE(bad);
    const StartRequest r = Parse({bad});
    EXPECT_EQ(Action::UsageError, r.action);
    EXPECT_NE(std::string::npos, r.error.find(std::string(bad) == "--scale" ? "unknown option" : "from 1 to 8"))
        << r.error;
  }
}

TEST(CommandLine, NamesThatAreNotUtf8ComeBackToTheSameBytes) {
  for (const std::string& name : {std::string("/tmp/\xff\xfe.jpg"), std::string("/tmp/back\\slash.bmp")}) {
    const StartRequest r = Parse({name});
    ASSERT_EQ(Action::Run, r.action);
    EXPECT_EQ(name, Win32ToNativePath(r.file));
  }
  const StartRequest uri = Parse({"file:///tmp/%FF%5C.jpg"});
  ASSERT_EQ(Action::Run, uri.action);
  EXPECT_EQ("/tmp/\xff\\.jpg", Win32ToNativePath(uri.file));
  const StartRequest relative = Parse({"x.jpg"}, "/home/\xe9t\xe9");  // a Latin-1 working folder
  ASSERT_EQ(Action::Run, relative.action);
  EXPECT_EQ("/home/\xe9t\xe9/x.jpg", Win32ToNativePath(relative.file));
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
  const std::vector<std::string> twenty(20, "a.jpg");
  const std::string longName(520, 'n');
  struct Case {
    std::vector<std::string> args;
    std::string folder;
    std::string mentions;
  } cases[] = {
      {{"--fullscreen"}, "/home/u", "unknown option '--fullscreen'"},
      {{"-x", "a.jpg"}, "/home/u", "unknown option '-x'"},
      {{"a.jpg", "b.jpg"}, "/home/u", "one file at a time (2 given)"},
      {twenty, "/home/u", "(20 given)"},
      {{""}, "/home/u", "empty file name"},
      {{"-"}, "/home/u", "standard input"},
      {{"http://example.org/a.jpg"}, "/home/u", "only files on this computer"},
      {{"smb://server/share/a.jpg"}, "/home/u", "only files on this computer"},
      {{"file://otherbox/tmp/a.jpg"}, "/home/u", "another computer"},
      {{"file:///tmp/a%2.jpg"}, "/home/u", "not a well-formed file URI"},
      {{"file:///tmp/a%zz.jpg"}, "/home/u", "not a well-formed file URI"},
      {{"file:///tmp/a%00.jpg"}, "/home/u", "not a well-formed file URI"},
      {{"file:relative.jpg"}, "/home/u", "not a well-formed file URI"},
      {{"file://localhost"}, "/home/u", "not a well-formed file URI"},
      {{"a.jpg"}, "", "working folder is unknown"},
      {{"/tmp/" + longName}, "/home/u", "is 525 characters long; at most 511"},
      {{longName}, "/home/u", "at most 511"},  // long only once made absolute
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0].substr(0, 40));
    const StartRequest r = Parse(c.args, c.folder);
    EXPECT_EQ(Action::UsageError, r.action);
    EXPECT_NE(std::string::npos, r.error.find(c.mentions)) << r.error;
    EXPECT_LT(r.error.size(), 200u) << "a long argument is cut in the message";
    EXPECT_TRUE(r.file.empty());
  }
  // The longest path the program can hold is accepted.
  EXPECT_EQ(Action::Run, Parse({"/" + std::string(510, 'n')}).action);
}
