// SPDX-License-Identifier: MIT
// Prints the loaded library's version and the name of a port's baud rate, through the installed headers
// and library.
#include <cstdio>

#include "kivocom/comport.h"
#include "kivocom/version.h"

int main() {
  kivocom::CCOMPort port;
  port.MaxBaudRate(kivocom::BAUD_921600);
  port.BaudRate(kivocom::BAUD_9600);
  std::printf("kivocom %s: %s\n", kivocom::Version(), port.BaudRateName().c_str());
  return 0;
}
