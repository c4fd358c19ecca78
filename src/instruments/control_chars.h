// SPDX-License-Identifier: MIT
// The control characters that frame commands and switch selections on the line.
#pragma once

namespace kivocom::ctl {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEot = 0x04;
inline constexpr char kEnq = 0x05;
inline constexpr char kLf = 0x0A;
inline constexpr char kCr = 0x0D;
inline constexpr char kDc4 = 0x14;
inline constexpr char kNak = 0x15;
inline constexpr char kEsc = 0x1B;

}  // namespace kivocom::ctl
