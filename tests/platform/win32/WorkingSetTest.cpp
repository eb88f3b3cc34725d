// Dropping the resident code pages: they leave the resident set and come back at their next use.
#include "platform/win32/WorkingSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

namespace {

// Resident pages backed by files, kB (RssFile of /proc/self/status).
long ResidentFileKb() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "RssFile:", 8) == 0) kb = std::strtol(line + 8, nullptr, 10);
  std::fclose(f);
  return kb;
}

bool Traced() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return false;
  char line[256];
  bool traced = false;
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, "TracerPid:", 10) == 0) traced = std::strtol(line + 10, nullptr, 10) != 0;
  std::fclose(f);
  return traced;
}

}  // namespace

TEST(WorkingSet, DroppedCodePagesLeaveTheResidentSetAndComeBackWhenRun) {
  if (Traced()) GTEST_SKIP() << "under a debugger the pages are left alone";
  const long before = ResidentFileKb();
  ASSERT_GT(before, 0);
  EXPECT_GT(Win32DropCodePages(), 0u);
  const long after = ResidentFileKb();
  // The program's and its libraries' code was resident; what is left is what ran since.
  EXPECT_LT(after, before);

  // The code comes back from the file as it was: the same program still computes the same.
  std::vector<int> values(1000);
  std::iota(values.rbegin(), values.rend(), 0);
  std::sort(values.begin(), values.end());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(std::to_string(std::accumulate(values.begin(), values.end(), 0L)), "499500");
}
