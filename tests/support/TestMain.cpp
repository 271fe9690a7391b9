// Test programs start the toolkit as the program does, so components find
// their application object, then run the cases.

#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  ToolkitStartup();
  int Result = RUN_ALL_TESTS();
  ToolkitCleanup();
  return Result;
}
