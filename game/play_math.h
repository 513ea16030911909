// Sine and cosine for play. Play must give the same bits on every build so that a replay recorded
// by one build verifies on another, and the C libraries' sin and cos differ in the last bit between
// builds: these use only + - * / and floor, which IEEE arithmetic makes exact everywhere (the
// build keeps the compilers from fusing multiply-adds).
#pragma once

#include <cmath>

// Of an angle in degrees. The angle is brought to within 45 degrees of a quarter turn, whose sine
// or cosine a Taylor series gives to within a unit in the last place of a double.
inline double PlaySinDeg(double degrees) {
    const double turn = degrees - 360.0 * std::floor(degrees / 360.0);
    const double quarter = std::floor(turn / 90.0 + 0.5);
    const double x = (turn - 90.0 * quarter) * (3.14159265358979323846 / 180.0);
    const double x2 = x * x;
    double sine = 1, cosine = 1;
    for (int k = 16; k >= 2; k -= 2) {
        sine = 1 - sine * x2 / double((k + 1) * k);
        cosine = 1 - cosine * x2 / double(k * (k - 1));
    }
    sine *= x;
    switch (int(quarter) % 4) {
    case 0:
        return sine;
    case 1:
        return cosine;
    case 2:
        return -sine;
    default:
        return -cosine;
    }
}

inline double PlayCosDeg(double degrees) { return PlaySinDeg(degrees + 90.0); }
