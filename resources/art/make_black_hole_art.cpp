// Paints the hero's two images: "BlackHoleArt" (a dark core ringed by a thin
// accretion disk seen almost edge-on, with the far side of the disk bent up and
// over the hole) and "BlackHoleGlow" (a soft mask of where that art gives light).
// Everything is computed per pixel from the formulas below, so the output is the
// same on every run.
//
//   make_black_hole_art <output folder> [side in pixels, default 1024]
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr double pi = std::numbers::pi;

// Everything is measured in units of the image's side, from the image's centre.
constexpr double holeY = -0.0175;     // the hole sits a little above the centre
constexpr double shadow = 0.098;      // radius of the dark core
constexpr double photonRing = 0.102;  // the thin ring of light hugging it
constexpr double tilt = 0.147;        // the disk's height over its width: seen almost edge-on
constexpr double diskInner = 0.122, diskOuter = 0.47;

double smoothstep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

struct Rgb {
    double r = 0, g = 0, b = 0;
    Rgb operator*(double k) const { return {r * k, g * k, b * k}; }
    Rgb operator+(const Rgb& o) const { return {r + o.r, g + o.g, b + o.b}; }
};

Rgb mix(Rgb a, Rgb b, double f) { return a * (1 - f) + b * f; }

// Light by heat: deep orange at the cool rim, the hero's peach in the middle,
// nearly white at the hot inner edge.
Rgb heatColour(double heat) {
    const Rgb ember{1.0, 0.36, 0.12}, peach{1.0, 0.70, 0.48}, hot{1.0, 0.93, 0.84};
    return heat < 0.5 ? mix(ember, peach, heat * 2) : mix(peach, hot, (heat - 0.5) * 2);
}

// Filaments along the orbits: many thin spirals of slightly different brightness.
double streaks(double radius, double angle) {
    const double l = std::log(radius);
    double s = 0;
    s += 0.26 * std::sin(3 * angle + 38 * l + 0.7);
    s += 0.20 * std::sin(5 * angle - 61 * l + 2.1);
    s += 0.16 * std::sin(11 * angle + 97 * l + 4.0);
    s += 0.14 * std::sin(17 * angle - 143 * l + 1.3);
    s += 0.12 * std::sin(23 * angle + 211 * l + 5.2);
    s += 0.08 * std::sin(31 * angle - 290 * l + 2.6);
    return 0.74 + 0.42 * s;
}

// Brightness of the disk at plane radius `radius`: a sharp inner edge, falling
// off outwards, fading out at the rim.
double diskProfile(double radius) {
    if (radius <= 0) return 0;
    const double inner = smoothstep(diskInner - 0.006, diskInner + 0.012, radius);
    const double rim = 1 - smoothstep(diskOuter - 0.17, diskOuter, radius);
    return inner * rim * std::pow(diskInner / std::max(radius, diskInner), 1.7);
}

struct Sample {
    Rgb light;       // emitted light
    double cover;    // how much of what lies behind it is hidden
    double glow;     // the smooth mask, before blurring
};

Sample sample(double x, double y) {
    // The disk, in its own plane: near side below the centre line.
    const double u = x, v = y / tilt;
    const double rho = std::hypot(u, v);
    const double phi = std::atan2(v, u);
    const double beaming = 1 + 0.55 * (-u / std::max(rho, 1e-9));  // the side coming towards us is brighter
    const double diskBase = diskProfile(rho);
    const double heat = std::clamp(1.15 - (rho - diskInner) / (diskOuter - diskInner) * 1.3, 0.0, 1.0);
    const Rgb diskLight = heatColour(heat) * (diskBase * beaming * streaks(rho, phi) * 2.1);
    const double diskCover = std::min(1.0, diskBase * 2.2);

    // Around the hole: the photon ring and the far side of the disk, bent over the top and under the bottom.
    const double hx = x, hy = y - holeY;
    const double r = std::hypot(hx, hy);
    const double psi = std::atan2(hy, hx);
    const double above = std::max(0.0, -std::sin(psi));
    const double archWeight = 0.3 + 0.7 * std::pow(above, 0.6);
    const double archBeam = 1 + 0.4 * (-std::cos(psi));
    const double archRadial = smoothstep(shadow, shadow + 0.012, r) * std::exp(-std::pow((r - shadow - 0.02) / 0.032, 2));
    const double archBase = archRadial * archWeight;
    const double archStreaks = 0.85 + 0.15 * std::sin(9 * psi + 60 * r) * std::sin(4 * psi - 1.1);
    const Rgb archLight = heatColour(0.62) * (archBase * archBeam * archStreaks * 1.25);
    const double ringBase = std::exp(-std::pow((r - photonRing) / 0.0045, 2));
    const Rgb ringLight = heatColour(0.85) * (ringBase * (0.6 + 0.5 * archBeam) * 0.85);

    const double core = 1 - smoothstep(shadow - 0.003, shadow + 0.002, r);

    // Back to front: the far half of the disk, the core over it, the bent light
    // and the ring, then the near half of the disk over everything.
    Rgb light{};
    double cover = 0;
    if (v < 0) {
        light = diskLight;
        cover = diskCover;
    }
    light = light * (1 - core);
    cover = cover + (1 - cover) * core;
    light = light + archLight + ringLight;
    cover = std::min(1.0, cover + std::min(1.0, archBase * 1.5 + ringBase));
    if (v >= 0) {
        light = light * (1 - diskCover) + diskLight;
        cover = cover + (1 - cover) * diskCover;
    }

    // Where the light sweeps may shine: the whole disk band and the bent ring,
    // never the dark core behind them.
    const double band = std::exp(-std::pow(v * tilt / 0.05, 2)) * (1 - smoothstep(diskOuter - 0.1, diskOuter + 0.02, rho)) *
                        smoothstep(diskInner - 0.03, diskInner + 0.02, rho);
    const double ringBand = std::exp(-std::pow((r - shadow - 0.022) / 0.04, 2)) * (0.45 + 0.55 * above);
    double glow = std::max(band, ringBand);
    if (v < 0) glow *= 1 - core;
    return {light, cover, glow};
}

// A tone curve that keeps the highlights from clipping harshly.
double tone(double c) { return 1 - std::exp(-1.35 * c); }

// Three box passes approximate a Gaussian blur of the given radius.
void blur(std::vector<double>& a, int n, int radius) {
    std::vector<double> tmp(a.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < n; ++y) {
            double acc = 0;
            for (int x = -radius; x <= radius; ++x) acc += a[y * n + std::clamp(x, 0, n - 1)];
            for (int x = 0; x < n; ++x) {
                tmp[y * n + x] = acc / (2 * radius + 1);
                acc += a[y * n + std::min(x + radius + 1, n - 1)] - a[y * n + std::max(x - radius, 0)];
            }
        }
        for (int x = 0; x < n; ++x) {
            double acc = 0;
            for (int y = -radius; y <= radius; ++y) acc += tmp[std::clamp(y, 0, n - 1) * n + x];
            for (int y = 0; y < n; ++y) {
                a[y * n + x] = acc / (2 * radius + 1);
                acc += tmp[std::min(y + radius + 1, n - 1) * n + x] - tmp[std::max(y - radius, 0) * n + x];
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_black_hole_art <output folder> [side]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const int n = argc > 2 ? std::max(64, std::atoi(argv[2])) : 1024;
    QDir().mkpath(out);

    QImage art(n, n, QImage::Format_ARGB32);
    std::vector<double> glow(size_t(n) * n);
    for (int j = 0; j < n; ++j) {
        auto* line = reinterpret_cast<QRgb*>(art.scanLine(j));
        for (int i = 0; i < n; ++i) {
            // 2 × 2 samples a pixel keep the photon ring smooth.
            Rgb light{};
            double cover = 0, g = 0;
            for (int s = 0; s < 4; ++s) {
                const double x = (i + 0.25 + 0.5 * (s % 2)) / n - 0.5, y = (j + 0.25 + 0.5 * (s / 2)) / n - 0.5;
                const Sample one = sample(x, y);
                light = light + one.light * 0.25;
                cover += one.cover * 0.25;
                g += one.glow * 0.25;
            }
            // Premultiplied: the light adds, the cover darkens what lies behind.
            const double r = tone(light.r), gr = tone(light.g), b = tone(light.b);
            const double alpha = std::clamp(std::max({cover, r, gr, b}), 0.0, 1.0);
            auto channel = [alpha](double c) { return alpha > 0 ? std::clamp(c / alpha, 0.0, 1.0) : 0.0; };
            line[i] = qRgba(int(std::lround(channel(r) * 255)), int(std::lround(channel(gr) * 255)),
                            int(std::lround(channel(b) * 255)), int(std::lround(alpha * 255)));
            glow[size_t(j) * n + i] = g;
        }
    }
    blur(glow, n, std::max(1, n / 160));
    QImage mask(n, n, QImage::Format_ARGB32);
    for (int j = 0; j < n; ++j) {
        auto* line = reinterpret_cast<QRgb*>(mask.scanLine(j));
        for (int i = 0; i < n; ++i)
            line[i] = qRgba(255, 255, 255, int(std::lround(std::clamp(glow[size_t(j) * n + i] * 1.15, 0.0, 1.0) * 255)));
    }
    const bool ok = art.save(out + "/BlackHoleArt.png") && mask.save(out + "/BlackHoleGlow.png");
    if (!ok) std::fprintf(stderr, "make_black_hole_art: could not write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
