#pragma once

#include <QString>

namespace q5n {

constexpr int kComPortCount = 6;

// The device behind "COM n" (1..6): the environment variable Q5NCFG_COM<n>
// when set (tests and scripts point a port at a pseudo-terminal with it), else
// the n-th present serial port, USB and ACM adapters first, then by name.
// Empty when there is no such port.
QString comDevicePath(int n);

} // namespace q5n
