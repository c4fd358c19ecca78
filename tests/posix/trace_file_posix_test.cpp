// The trace file against a link planted where it would be: the link's target stays untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kivocom/kivocom.h"
#include "support/memory_line.h"
#include "support/trace_capture.h"

namespace kivocom {
namespace {

namespace fs = std::filesystem;

class PlantedTraceLinkTest : public MemoryLineTest {
 protected:
  TraceCapture trace;
  CCOMPort port;
};

TEST_F(PlantedTraceLinkTest, IsNotFollowed) {
  const std::string victim = trace.Folder() + "/victim.txt";
  std::ofstream(victim) << "precious\n";
  fs::create_symlink(victim, trace.Path());
  port.UpdateDebugFile("attack");
  std::ifstream in(victim);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "precious\n");
}

}  // namespace
}  // namespace kivocom
