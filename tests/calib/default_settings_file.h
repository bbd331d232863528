#pragma once
// What the settings window's defaults save to, written out by hand.

namespace km::test {

inline constexpr char kDefaultSettingsFile[] =
    "#KEL MORPH CONFIG FILE Ver. 1.0\r\n"
    " 1096 , 796 , -3.000000 , 0.000000 \r\n"
    " 1089 , 995 , -13.000000 , 0.000000 \r\n"
    " 934 , 1013 , -13.000000 , -10.000000 \r\n"
    " 925 , 1236 , -23.000000 , -10.000000 \r\n"
    " 739 , 1290 , -23.000000 , -20.000000 \r\n"
    " 1080 , 1366 , -31.000000 , 0.000000 \r\n"
    " 0 , 1.800000 , 0.500000 , 20.000000 \r\n"
    " 2 , 0.500000 , 30 \r\n"
    " 0 , 1 , 1 \r\n";

}  // namespace km::test
