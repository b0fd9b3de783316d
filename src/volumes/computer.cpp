#include "volumes/computer.h"

CLocalComputer* g_pComputer = nullptr;

CLocalComputer::CLocalComputer() = default;
CLocalComputer::~CLocalComputer() = default;

CLocalComputer* CreateLocalComputer() {
  // Lives until the process ends: worker threads may still use it while the process exits.
  auto* computer = new CLocalComputer();
  g_pComputer = computer;
  g_pLog = &computer->Log;
  g_pFileTypes = &computer->FileTypes;
  return computer;
}
