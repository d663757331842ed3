#include "samples/Looks.h"

#include <algorithm>
#include <cmath>

namespace teintelle::samples {

namespace {

double luma(Rgb c) { return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]; }

double mix(double a, double b, double t) { return a + (b - a) * t; }

Rgb mix(Rgb a, Rgb b, double t) { return {mix(a[0], b[0], t), mix(a[1], b[1], t), mix(a[2], b[2], t)}; }

// Saturation around the colour's luma: 0 grey, 1 unchanged, above 1 stronger.
Rgb saturate(Rgb c, double amount)
{
    const double y = luma(c);
    return {mix(y, c[0], amount), mix(y, c[1], amount), mix(y, c[2], amount)};
}

// An S-shaped curve through (0, 0), (0.5, 0.5) and (1, 1); strength 0 is the identity.
double sCurve(double x, double strength)
{
    const double k = 1.0 + 6.0 * strength;
    const double s = 1.0 / (1.0 + std::exp(-k * (x - 0.5)));
    const double s0 = 1.0 / (1.0 + std::exp(k * 0.5));
    return (s - s0) / (1.0 - 2.0 * s0);
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

Rgb warm(Rgb c) { return {std::pow(c[0], 0.92) * 1.04, c[1] * 1.01, std::pow(c[2], 1.08) * 0.86}; }

Rgb cool(Rgb c) { return {std::pow(c[0], 1.08) * 0.90, c[1] * 0.99, std::pow(c[2], 0.92) * 1.04 + 0.02}; }

Rgb blackAndWhite(Rgb c)
{
    // A red-filter mix, as on black and white film, with a little more contrast.
    const double y = sCurve(0.40 * c[0] + 0.45 * c[1] + 0.15 * c[2], 0.25);
    return {y, y, y};
}

Rgb sepia(Rgb c)
{
    const double y = sCurve(luma(c), 0.1);
    return {0.04 + y * 1.02, 0.02 + y * 0.86, y * 0.62};
}

Rgb strongContrast(Rgb c)
{
    const Rgb curved{sCurve(c[0], 0.9), sCurve(c[1], 0.9), sCurve(c[2], 0.9)};
    return saturate(curved, 1.15);
}

Rgb fadedFilm(Rgb c)
{
    // Lifted blacks, dulled whites, faded colours with a warm cast in the highlights.
    const Rgb faded = saturate(c, 0.65);
    const Rgb lifted{0.10 + 0.80 * sCurve(faded[0], 0.15), 0.09 + 0.80 * sCurve(faded[1], 0.15),
                     0.11 + 0.74 * sCurve(faded[2], 0.15)};
    return mix(lifted, {lifted[0] + 0.03, lifted[1] + 0.01, lifted[2] - 0.02}, smoothstep(0.4, 1.0, luma(c)));
}

Rgb tealAndOrange(Rgb c)
{
    // Shadows towards teal, skin and highlights towards orange.
    const double y = luma(c);
    const Rgb teal{0.0, 0.45, 0.50};
    const Rgb orange{1.0, 0.62, 0.28};
    const Rgb tint = mix(teal, orange, smoothstep(0.2, 0.8, y));
    const Rgb tinted = mix(c, {tint[0] * y * 1.6, tint[1] * y * 1.6, tint[2] * y * 1.6}, 0.35);
    const Rgb curved{sCurve(tinted[0], 0.3), sCurve(tinted[1], 0.3), sCurve(tinted[2], 0.3)};
    return saturate(curved, 1.1);
}

Rgb crossProcessed(Rgb c)
{
    // Slide film in negative chemistry: hard red and green, flat yellowish blue.
    return {sCurve(c[0], 0.7), std::pow(sCurve(c[1], 0.4), 0.9), 0.18 + 0.62 * std::pow(c[2], 1.2)};
}

} // namespace

const std::vector<Look>& looks()
{
    static const std::vector<Look> all{
        {"Chaud", "Chaud", &warm},
        {"Froid", "Froid", &cool},
        {"Noir et blanc", "Noir et blanc", &blackAndWhite},
        {"Sépia", "Sépia", &sepia},
        {"Contraste fort", "Contraste fort", &strongContrast},
        {"Film fané", "Film fané", &fadedFilm},
        {"Sarcelle et orange", "Sarcelle et orange", &tealAndOrange},
        {"Traitement croisé", "Traitement croisé", &crossProcessed},
    };
    return all;
}

} // namespace teintelle::samples
