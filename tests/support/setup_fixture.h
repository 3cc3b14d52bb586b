// A fresh process on a fresh machine for every test of the setup's code.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host.h"
#include "shell/config.h"

class SetupTest : public ::testing::Test {
 protected:
  // The stand-in is reset and holds the real compiled resources (dialog,
  // logo, icons) but no payload; the program's own globals start as at
  // process start.
  void SetUp() override;
  void TearDown() override;
};

// Runs body, which must end the process; answers how it ended.
template <class Body>
Host::ProcessExit ExpectProcessEnd(Body body) {
  try {
    body();
  } catch (const Host::ProcessExit &exit) {
    return exit;
  }
  ADD_FAILURE() << "the process did not end";
  return Host::ProcessExit{0xFFFFFFFFu, false, ""};
}

// The fatal error box and exit code 1 that FatalError leaves behind.
void ExpectFatal(const Host::ProcessExit &exit, int code, const std::string &text);

FILETIME MakeFileTime(uint64_t ticks);
uint64_t Ticks(const FILETIME &time);

// A version-1 container of bytes with the given time, as the build packs it.
std::vector<BYTE> MakeContainer(const std::vector<BYTE> &bytes, FILETIME time);

// Nine payload resources, one per table row: row i holds PayloadBytes(i)
// with PayloadTime(i).
std::vector<BYTE> PayloadBytes(int row);
FILETIME PayloadTime(int row);
void AddPayloadResources();

// Fills the table rows as a complete extraction would have left them.
void FillPayloadTable();

// A dialog from the real "SETUP" template whose procedure does nothing, for
// testing the parts that work on the wizard's controls.
HWND OpenPlainSetupDialog();
