#include "station/orbit/sgp4.h"

#include <cmath>

namespace orva::station {

namespace {
// WGS-72 as the model fixes it, in earth radii and minutes.
constexpr double kPi = 3.1415926535898;
constexpr double kTwoPi = 2 * kPi;
constexpr double kEarthRadiusKm = 6378.135;
constexpr double kMu = 398600.8; // km^3/s^2
const double kXke = 60.0 / std::sqrt(kEarthRadiusKm * kEarthRadiusKm * kEarthRadiusKm / kMu);
constexpr double kJ2 = 0.001082616;
constexpr double kJ3 = -2.53881e-6;
constexpr double kJ4 = -1.65597e-6;
constexpr double kJ3oJ2 = kJ3 / kJ2;
constexpr double kS = 1.01222928;          // 78 km above the surface, in earth radii
constexpr double kQ0MinusS4 = 1.88027916e-9;
constexpr double kTwoThirds = 2.0 / 3.0;

// fmod(x, 2 pi) for the angles of one propagation, without the library's exact long division.
inline double reduce(double x)
{
    return x - kTwoPi * std::trunc(x * (1.0 / kTwoPi));
}
} // namespace

bool Sgp4::elements_usable(const Sgp4Elements& e)
{
    return e.mean_motion_rad_min > 0 && e.eccentricity >= 0 && e.eccentricity < 1 &&
           std::isfinite(e.mean_motion_rad_min) && std::isfinite(e.inclination) &&
           std::isfinite(e.raan) && std::isfinite(e.arg_perigee) && std::isfinite(e.mean_anomaly) &&
           std::isfinite(e.bstar);
}

Sgp4::Sgp4(const Sgp4Elements& el, double kepler_tolerance)
    : tolerance_(kepler_tolerance), ecco_(el.eccentricity), inclo_(el.inclination), nodeo_(el.raan),
      argpo_(el.arg_perigee), mo_(el.mean_anomaly), bstar_(el.bstar)
{
    if (!elements_usable(el))
        return; // propagate() reports the elements as unusable

    // Recover the original mean motion and semi-major axis from the Kozai mean motion.
    double eccsq = ecco_ * ecco_;
    double omeosq = 1.0 - eccsq;
    double rteosq = std::sqrt(omeosq);
    cosio_ = std::cos(inclo_);
    sinio_ = std::sin(inclo_);
    double cosio2 = cosio_ * cosio_;
    double ak = std::pow(kXke / el.mean_motion_rad_min, kTwoThirds);
    double d1 = 0.75 * kJ2 * (3.0 * cosio2 - 1.0) / (rteosq * omeosq);
    double del = d1 / (ak * ak);
    double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
    del = d1 / (adel * adel);
    no_ = el.mean_motion_rad_min / (1.0 + del);
    ao_ = std::pow(kXke / no_, kTwoThirds);
    double po = ao_ * omeosq;
    double con42 = 1.0 - 5.0 * cosio2;
    con41_ = -con42 - cosio2 - cosio2;
    double posq = po * po;
    double rp = ao_ * (1.0 - ecco_);

    simple_ = rp < (220.0 / kEarthRadiusKm + 1.0);
    double sfour = kS;
    double qzms24 = kQ0MinusS4;
    double perigee_km = (rp - 1.0) * kEarthRadiusKm;
    if (perigee_km < 156.0) {
        sfour = perigee_km < 98.0 ? 20.0 : perigee_km - 78.0;
        qzms24 = std::pow((120.0 - sfour) / kEarthRadiusKm, 4);
        sfour = sfour / kEarthRadiusKm + 1.0;
    }
    double pinvsq = 1.0 / posq;
    double tsi = 1.0 / (ao_ - sfour);
    eta_ = ao_ * ecco_ * tsi;
    double etasq = eta_ * eta_;
    double eeta = ecco_ * eta_;
    double psisq = std::fabs(1.0 - etasq);
    double coef = qzms24 * std::pow(tsi, 4);
    double coef1 = coef / std::pow(psisq, 3.5);
    double cc2 = coef1 * no_ *
                 (ao_ * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                  0.375 * kJ2 * tsi / psisq * con41_ * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    cc1_ = bstar_ * cc2;
    double cc3 = ecco_ > 1.0e-4 ? -2.0 * coef * tsi * kJ3oJ2 * no_ * sinio_ / ecco_ : 0.0;
    x1mth2_ = 1.0 - cosio2;
    cc4_ = 2.0 * no_ * coef1 * ao_ * omeosq *
           (eta_ * (2.0 + 0.5 * etasq) + ecco_ * (0.5 + 2.0 * etasq) -
            kJ2 * tsi / (ao_ * psisq) *
                (-3.0 * con41_ * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                 0.75 * x1mth2_ * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * argpo_)));
    cc5_ = 2.0 * coef1 * ao_ * omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

    // Secular rates from J2 and J4.
    double cosio4 = cosio2 * cosio2;
    double temp1 = 1.5 * kJ2 * pinvsq * no_;
    double temp2 = 0.5 * temp1 * kJ2 * pinvsq;
    double temp3 = -0.46875 * kJ4 * pinvsq * pinvsq * no_;
    mdot_ = no_ + 0.5 * temp1 * rteosq * con41_ +
            0.0625 * temp2 * rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
    argpdot_ = -0.5 * temp1 * con42 + 0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
               temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
    double xhdot1 = -temp1 * cosio_;
    nodedot_ = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * cosio_;
    omgcof_ = bstar_ * cc3 * std::cos(argpo_);
    xmcof_ = ecco_ > 1.0e-4 ? -kTwoThirds * coef * bstar_ / eeta : 0.0;
    nodecf_ = 3.5 * omeosq * xhdot1 * cc1_;
    t2cof_ = 1.5 * cc1_;
    // Long-period J3 terms; the 1 + cos i divisor is kept off zero for retrograde equatorial orbits.
    double one_plus_cos = std::fabs(cosio_ + 1.0) > 1.5e-12 ? 1.0 + cosio_ : 1.5e-12;
    xlcof_ = -0.25 * kJ3oJ2 * sinio_ * (3.0 + 5.0 * cosio_) / one_plus_cos;
    aycof_ = -0.5 * kJ3oJ2 * sinio_;
    delmo_ = std::pow(1.0 + eta_ * std::cos(mo_), 3);
    sinmao_ = std::sin(mo_);
    x7thm1_ = 7.0 * cosio2 - 1.0;
    if (!simple_) {
        double cc1sq = cc1_ * cc1_;
        d2_ = 4.0 * ao_ * tsi * cc1sq;
        double temp = d2_ * tsi * cc1_ / 3.0;
        d3_ = (17.0 * ao_ + sfour) * temp;
        d4_ = 0.5 * temp * ao_ * tsi * (221.0 * ao_ + 31.0 * sfour) * cc1_;
        t3cof_ = d2_ + 2.0 * cc1sq;
        t4cof_ = 0.25 * (3.0 * d3_ + cc1_ * (12.0 * d2_ + 10.0 * cc1sq));
        t5cof_ = 0.2 * (3.0 * d4_ + 12.0 * cc1_ * d3_ + 6.0 * d2_ * d2_ + 15.0 * cc1sq * (2.0 * d2_ + cc1sq));
    }
}

Sgp4Result Sgp4::propagate(double t) const
{
    Sgp4Result out;
    if (!(no_ > 0)) {
        out.error = Sgp4Error::MeanMotion;
        return out;
    }
    // Secular gravity and atmospheric drag.
    double xmdf = mo_ + mdot_ * t;
    double argpdf = argpo_ + argpdot_ * t;
    double nodedf = nodeo_ + nodedot_ * t;
    double argpm = argpdf;
    double mm = xmdf;
    double t2 = t * t;
    double nodem = nodedf + nodecf_ * t2;
    double tempa = 1.0 - cc1_ * t;
    double tempe = bstar_ * cc4_ * t;
    double templ = t2cof_ * t2;
    if (!simple_) {
        double delomg = omgcof_ * t;
        double dm = 1.0 + eta_ * std::cos(xmdf);
        double delm = xmcof_ * (dm * dm * dm - delmo_);
        double temp = delomg + delm;
        mm = xmdf + temp;
        argpm = argpdf - temp;
        double t3 = t2 * t;
        double t4 = t3 * t;
        tempa = tempa - d2_ * t2 - d3_ * t3 - d4_ * t4;
        tempe = tempe + bstar_ * cc5_ * (std::sin(mm) - sinmao_);
        templ = templ + t3cof_ * t3 + t4 * (t4cof_ + t * t5cof_);
    }
    double am = ao_ * tempa * tempa;
    double nm = kXke / (am * std::sqrt(am));
    double em = ecco_ - tempe;
    if (em >= 1.0 || em < -0.001 || !(am > 0)) {
        out.error = Sgp4Error::Eccentricity;
        return out;
    }
    if (em < 1.0e-6)
        em = 1.0e-6;
    mm = mm + no_ * templ;
    double xlm = mm + argpm + nodem;
    nodem = reduce(nodem);
    argpm = reduce(argpm);
    xlm = reduce(xlm);
    mm = reduce(xlm - argpm - nodem);

    // Long-period periodics.
    double axnl = em * std::cos(argpm);
    double temp = 1.0 / (am * (1.0 - em * em));
    double aynl = em * std::sin(argpm) + temp * aycof_;
    double xl = mm + argpm + nodem + temp * xlcof_ * axnl;

    // Kepler's equation for the eccentric longitude, Newton steps limited to 0.95 rad.
    double u = reduce(xl - nodem);
    double eo1 = u;
    double sineo1 = 0, coseo1 = 0;
    for (int k = 0; k < 10; ++k) {
        sineo1 = std::sin(eo1);
        coseo1 = std::cos(eo1);
        double step = (u - aynl * coseo1 + axnl * sineo1 - eo1) / (1.0 - coseo1 * axnl - sineo1 * aynl);
        if (std::fabs(step) >= 0.95)
            step = step > 0 ? 0.95 : -0.95;
        eo1 += step;
        if (std::fabs(step) < tolerance_) {
            // Turn sin/cos on by the last small step instead of evaluating them again.
            double s = step - step * step * step / 6.0, c = 1.0 - 0.5 * step * step;
            double sn = sineo1 * c + coseo1 * s;
            coseo1 = coseo1 * c - sineo1 * s;
            sineo1 = sn;
            break;
        }
    }

    // Short-period periodics.
    double ecose = axnl * coseo1 + aynl * sineo1;
    double esine = axnl * sineo1 - aynl * coseo1;
    double el2 = axnl * axnl + aynl * aynl;
    double pl = am * (1.0 - el2);
    if (pl < 0.0) {
        out.error = Sgp4Error::SemiLatus;
        return out;
    }
    double rl = am * (1.0 - ecose);
    double rdotl = std::sqrt(am) * esine / rl;
    double rvdotl = std::sqrt(pl) / rl;
    double betal = std::sqrt(1.0 - el2);
    temp = esine / (1.0 + betal);
    double sinu = am / rl * (sineo1 - aynl - axnl * temp);
    double cosu = am / rl * (coseo1 - axnl + aynl * temp);
    double su = std::atan2(sinu, cosu);
    double sin2u = (cosu + cosu) * sinu;
    double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    double temp1 = 0.5 * kJ2 * temp;
    double temp2 = temp1 * temp;
    double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41_) + 0.5 * temp1 * x1mth2_ * cos2u;
    su = su - 0.25 * temp2 * x7thm1_ * sin2u;
    double xnode = nodem + 1.5 * temp2 * cosio_ * sin2u;
    double xinc = inclo_ + 1.5 * temp2 * cosio_ * sinio_ * cos2u;
    double mvt = rdotl - nm * temp1 * x1mth2_ * sin2u / kXke;
    double rvdot = rvdotl + nm * temp1 * (x1mth2_ * cos2u + 1.5 * con41_) / kXke;

    // Orientation vectors.
    double sinsu = std::sin(su), cossu = std::cos(su);
    double snod = std::sin(xnode), cnod = std::cos(xnode);
    double sini = std::sin(xinc), cosi = std::cos(xinc);
    double xmx = -snod * cosi;
    double xmy = cnod * cosi;
    Vec3 uv{xmx * sinsu + cnod * cossu, xmy * sinsu + snod * cossu, sini * sinsu};
    Vec3 vv{xmx * cossu - cnod * sinsu, xmy * cossu - snod * sinsu, sini * cossu};
    const double vkmpersec = kEarthRadiusKm * kXke / 60.0;
    out.position_km = uv * (mrt * kEarthRadiusKm);
    out.velocity_km_s = (uv * mvt + vv * rvdot) * vkmpersec;
    if (mrt < 1.0)
        out.error = Sgp4Error::Decayed;
    return out;
}

} // namespace orva::station
