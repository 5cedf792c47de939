// Three-vectors and 3x3 rotations for the orbit and frame code.
#pragma once

#include <array>
#include <cmath>

namespace orva::station {

struct Vec3 {
    double x = 0, y = 0, z = 0;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(double k) const { return {x * k, y * k, z * k}; }
    double dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    double norm() const { return std::sqrt(dot(*this)); }
};

struct Mat3 {
    std::array<std::array<double, 3>, 3> m{};
    static Mat3 identity() { return {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}}; }
    Vec3 operator*(const Vec3& v) const
    {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Mat3 operator*(const Mat3& o) const
    {
        Mat3 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
        return r;
    }
    Mat3 transposed() const
    {
        Mat3 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[i][j] = m[j][i];
        return r;
    }
};

// Rotations of the coordinate frame by angle a (radians) about x, y and z.
inline Mat3 rot_x(double a)
{
    double c = std::cos(a), s = std::sin(a);
    return {{{{1, 0, 0}, {0, c, s}, {0, -s, c}}}};
}
inline Mat3 rot_y(double a)
{
    double c = std::cos(a), s = std::sin(a);
    return {{{{c, 0, -s}, {0, 1, 0}, {s, 0, c}}}};
}
inline Mat3 rot_z(double a)
{
    double c = std::cos(a), s = std::sin(a);
    return {{{{c, s, 0}, {-s, c, 0}, {0, 0, 1}}}};
}

} // namespace orva::station
