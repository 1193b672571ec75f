#pragma once
// Pi to double precision: M_PI is POSIX, not standard C++, and the show is
// also built for Windows and the web.

inline constexpr double Pi = 3.14159265358979323846;
