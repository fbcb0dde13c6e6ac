// Draws the program's icons and writes them as .ico files of 32-bit images.
//
//   make_icons OUTDIR
//
// Every icon is a few vector layers in a unit square (x right, y down),
// rendered with 8 × 8 samples per pixel at each size its group holds. Stroke
// widths have a floor in pixels, so small sizes stay legible.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x, y;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double k) {
    return {a.x * k, a.y * k};
}
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double Length(Vec a) {
    return std::sqrt(Dot(a, a));
}

// Straight (not premultiplied) colour, channels 0..1.
struct Rgba {
    double r, g, b, a;
};
Rgba Hex(uint32_t rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, alpha};
}
Rgba Mix(Rgba a, Rgba b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

using Shape = std::function<bool(Vec)>;
using Paint = std::function<Rgba(Vec)>;

struct Layer {
    Shape shape;
    Paint paint;
};

// ---- Shapes ----

Shape Circle(Vec c, double r) {
    return [=](Vec p) { return Dot(p - c, p - c) <= r * r; };
}

Shape Ellipse(Vec c, double rx, double ry) {
    return [=](Vec p) {
        const double dx = (p.x - c.x) / rx, dy = (p.y - c.y) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
}

Shape Ring(Vec c, double inner, double outer) {
    return [=](Vec p) {
        const double d = Dot(p - c, p - c);
        return d >= inner * inner && d <= outer * outer;
    };
}

Shape Polygon(std::vector<Vec> points) {
    return [points](Vec p) {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Vec a = points[i], b = points[j];
            if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside;
    };
}

double SegmentDistance(Vec p, Vec a, Vec b) {
    const Vec ab = b - a;
    const double t = std::clamp(Dot(p - a, ab) / std::max(Dot(ab, ab), 1e-12), 0.0, 1.0);
    return Length(p - (a + ab * t));
}

// A polyline of the given width with round joins and caps.
Shape Stroke(std::vector<Vec> points, double width, bool closed = false) {
    return [=](Vec p) {
        const size_t n = points.size();
        for (size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) {
            if (SegmentDistance(p, points[i], points[(i + 1) % n]) <= width / 2)
                return true;
        }
        return false;
    };
}

// An arc of radius r from angle `from` to `to` (degrees, clockwise from
// twelve o'clock), round caps.
Shape Arc(Vec c, double r, double from, double to, double width) {
    auto at = [=](double degrees) {
        const double a = degrees * kPi / 180;
        return Vec{c.x + r * std::sin(a), c.y - r * std::cos(a)};
    };
    const Vec start = at(from), end = at(to);
    return [=](Vec p) {
        const Vec d = p - c;
        double angle = std::atan2(d.x, -d.y) * 180 / kPi;
        while (angle < from)
            angle += 360;
        if (angle <= to && std::abs(Length(d) - r) <= width / 2)
            return true;
        return Length(p - start) <= width / 2 || Length(p - end) <= width / 2;
    };
}

Shape Union(Shape a, Shape b) {
    return [=](Vec p) { return a(p) || b(p); };
}
Shape Intersect(Shape a, Shape b) {
    return [=](Vec p) { return a(p) && b(p); };
}

// ---- Paints ----

Paint Solid(Rgba c) {
    return [=](Vec) { return c; };
}

Paint Linear(Vec from, Rgba c0, Vec to, Rgba c1) {
    const Vec axis = to - from;
    const double length2 = Dot(axis, axis);
    return [=](Vec p) { return Mix(c0, c1, Dot(p - from, axis) / length2); };
}

// Black fading out from `inner` to `outer` around c: a soft shadow.
Paint SoftShadow(Vec c, double inner, double outer, double alpha) {
    return [=](Vec p) {
        const double t = std::clamp((Length(p - c) - inner) / (outer - inner), 0.0, 1.0);
        return Rgba{0, 0, 0, alpha * (1 - t) * (1 - t)};
    };
}

// ---- Rendering and .ico files ----

struct Image {
    int size;
    std::vector<Rgba> pixels;  // premultiplied while compositing
};

Image Render(const std::vector<Layer>& layers, int size) {
    constexpr int kSamples = 8;
    Image image{size, std::vector<Rgba>(static_cast<size_t>(size) * size, Rgba{0, 0, 0, 0})};
    for (const Layer& layer : layers) {
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                int hits = 0;
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx)
                        hits += layer.shape({(x + (sx + 0.5) / kSamples) / size,
                                             (y + (sy + 0.5) / kSamples) / size});
                if (!hits)
                    continue;
                const Rgba c = layer.paint({(x + 0.5) / size, (y + 0.5) / size});
                const double a = c.a * hits / (kSamples * kSamples);
                Rgba& d = image.pixels[static_cast<size_t>(y) * size + x];
                d = {c.r * a + d.r * (1 - a), c.g * a + d.g * (1 - a), c.b * a + d.b * (1 - a),
                     a + d.a * (1 - a)};
            }
        }
    }
    return image;
}

void Put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(v & 255);
    out.push_back((v >> 8) & 255);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

uint8_t Byte(double v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// A 32-bit DIB with its AND mask, as an icon file stores one image.
std::vector<uint8_t> IconImage(const Image& image) {
    const int n = image.size;
    const int maskStride = ((n + 31) / 32) * 4;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(n));
    Put32(out, static_cast<uint32_t>(2 * n));
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(n * n * 4 + maskStride * n));
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    for (int y = n - 1; y >= 0; --y) {
        for (int x = 0; x < n; ++x) {
            const Rgba& p = image.pixels[static_cast<size_t>(y) * n + x];
            const double a = p.a;
            const auto straight = [a](double v) { return a > 0 ? v / a : 0.0; };
            out.push_back(Byte(straight(p.b)));
            out.push_back(Byte(straight(p.g)));
            out.push_back(Byte(straight(p.r)));
            out.push_back(Byte(a));
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < n; ++x) {
            if (Byte(image.pixels[static_cast<size_t>(y) * n + x].a) == 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

bool WriteIcon(const std::string& path, const std::function<std::vector<Layer>(int)>& draw,
               const std::vector<int>& sizes) {
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes)
        images.push_back(IconImage(Render(draw(size), size)));
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(sizes.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        out.push_back(sizes[i] >= 256 ? 0 : static_cast<uint8_t>(sizes[i]));
        out.push_back(sizes[i] >= 256 ? 0 : static_cast<uint8_t>(sizes[i]));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

// ---- The set ----

// A width in unit coordinates, at least `minPixels` wide at this size.
double Width(double unit, int size, double minPixels) {
    return std::max(unit, minPixels / size);
}

struct Palette {
    uint32_t top, bottom, rim;
};
constexpr Palette kBlue{0x4A9BEA, 0x1D63BE, 0x174E94};
constexpr Palette kGreen{0x5BC977, 0x22924A, 0x1A6E37};
constexpr Palette kRed{0xF06A57, 0xC8342A, 0x972519};
constexpr Palette kOrange{0xF59A4A, 0xD4602A, 0xA5461C};
constexpr Palette kGrey{0xCFCFCF, 0xA8A8A8, 0x8C8C8C};

// A round badge: soft shadow, a top-lit body, a darker rim and a faint
// highlight, for the glyph to sit on in white.
std::vector<Layer> Badge(const Palette& palette, int size) {
    const Vec c{0.5, 0.48};
    const double r = 0.45;
    const double rim = Width(0.03, size, 1.0);
    return {
        {Circle(c + Vec{0, 0.025}, r + 0.04),
         SoftShadow(c + Vec{0, 0.025}, r - 0.04, r + 0.04, 0.35)},
        {Circle(c, r), Linear({0.5, 0.05}, Hex(palette.top), {0.5, 0.93}, Hex(palette.bottom))},
        {Ring(c, r - rim, r), Solid(Hex(palette.rim, 0.55))},
        {Intersect(Circle(c, r - rim), Ellipse({0.5, 0.2}, 0.34, 0.2)),
         Linear({0.5, 0.02}, Hex(0xFFFFFF, 0.32), {0.5, 0.4}, Hex(0xFFFFFF, 0.0))},
    };
}

std::vector<Layer> WithGlyph(std::vector<Layer> layers, Shape glyph, double alpha = 1.0) {
    layers.push_back({glyph, Solid(Hex(0xFFFFFF, alpha))});
    return layers;
}

Shape ArrowRight(int size) {
    const double w = Width(0.11, size, 2.0);
    return Union(Stroke({{0.26, 0.48}, {0.70, 0.48}}, w),
                 Stroke({{0.51, 0.29}, {0.71, 0.48}, {0.51, 0.67}}, w));
}

Shape Mirrored(Shape shape) {
    return [=](Vec p) { return shape({1.0 - p.x, p.y}); };
}

std::vector<Layer> NextIcon(int size, const Palette& palette) {
    return WithGlyph(Badge(palette, size), ArrowRight(size));
}

std::vector<Layer> BackIcon(int size, const Palette& palette) {
    return WithGlyph(Badge(palette, size), Mirrored(ArrowRight(size)));
}

std::vector<Layer> ExitIcon(int size) {
    const double w = Width(0.1, size, 1.8);
    return WithGlyph(Badge(kOrange, size), Union(Arc({0.5, 0.5}, 0.21, 40, 320, w),
                                                 Stroke({{0.5, 0.22}, {0.5, 0.47}}, w)));
}

std::vector<Layer> CurrentStepIcon(int size) {
    // A play mark, its corners rounded by a stroke along its edges.
    const std::vector<Vec> triangle{{0.40, 0.30}, {0.70, 0.48}, {0.40, 0.66}};
    const double w = Width(0.07, size, 1.2);
    return WithGlyph(Badge(kBlue, size), Union(Polygon(triangle), Stroke(triangle, w, true)));
}

std::vector<Layer> DoneIcon(int size) {
    const double w = Width(0.12, size, 2.1);
    return WithGlyph(Badge(kGreen, size), Stroke({{0.27, 0.49}, {0.43, 0.65}, {0.73, 0.33}}, w));
}

std::vector<Layer> FailedIcon(int size) {
    const double w = Width(0.12, size, 2.1);
    return WithGlyph(Badge(kRed, size), Union(Stroke({{0.34, 0.32}, {0.66, 0.64}}, w),
                                              Stroke({{0.66, 0.32}, {0.34, 0.64}}, w)));
}

std::vector<Layer> InfoIcon(int size) {
    const double w = Width(0.12, size, 2.2);
    return WithGlyph(Badge(kBlue, size), Union(Circle({0.5, 0.28}, std::max(0.072, 1.3 / size)),
                                               Stroke({{0.5, 0.44}, {0.5, 0.71}}, w)));
}

// One disc: hole, clear hub, data area with a rainbow sheen, darker rim.
void Disc(std::vector<Layer>& layers, Vec c, double r, uint32_t base, uint32_t rim, bool sheen,
          int size) {
    const double rimWidth = Width(0.025, size, 0.9);
    layers.push_back({Circle(c + Vec{0, 0.02}, r + 0.035),
                      SoftShadow(c + Vec{0, 0.02}, r - 0.03, r + 0.035, 0.3)});
    const Shape data = Ring(c, r * 0.38, r);
    const Rgba baseColour = Hex(base);
    layers.push_back(
        {data, [=](Vec p) {
             const Vec d = p - c;
             const double angle = std::atan2(d.y, d.x);
             // Two light streaks across the disc, tinted at their edges.
             const double t = std::cos(2 * (angle + kPi / 4));
             const double s = std::sin(2 * (angle + kPi / 4));
             Rgba colour = Mix(baseColour, Hex(0xFFFFFF), 0.85 * std::pow(std::max(t, 0.0), 6));
             if (sheen) {
                 colour = Mix(colour, Hex(0x7FD8F0), 0.35 * std::max(s, 0.0) * std::max(t, 0.0));
                 colour = Mix(colour, Hex(0xD59BF0), 0.30 * std::max(-s, 0.0) * std::max(t, 0.0));
             }
             // Slightly darker towards the rim.
             const double k = Length(d) / r;
             return Mix(colour, Hex(rim), 0.25 * k * k);
         }});
    layers.push_back({Ring(c, r - rimWidth, r), Solid(Hex(rim, 0.8))});
    layers.push_back({Ring(c, r * 0.16, r * 0.38), Solid(Hex(0xE8EEF4, 0.75))});
    layers.push_back({Ring(c, r * 0.38 - rimWidth * 0.6, r * 0.38), Solid(Hex(rim, 0.45))});
    layers.push_back({Ring(c, r * 0.16, r * 0.16 + rimWidth * 0.8), Solid(Hex(rim, 0.6))});
}

std::vector<Layer> ApplicationIcon(int size) {
    std::vector<Layer> layers;
    if (size <= 20) {
        // Too small for two discs: one, in the blue of the copy.
        Disc(layers, {0.5, 0.48}, 0.46, 0x4F95E0, 0x1D4F8C, false, size);
        return layers;
    }
    Disc(layers, {0.37, 0.37}, 0.34, 0x4F95E0, 0x1D4F8C, false, size);
    Disc(layers, {0.6, 0.6}, 0.38, 0xD5DCE4, 0x6E7A88, true, size);
    return layers;
}

std::vector<Layer> OverwriteIcon(int size) {
    std::vector<Layer> layers;
    const double line = Width(0.02, size, 1.0);
    const double border = Width(0.018, size, 1.0);
    // A sheet of paper with a folded corner.
    const std::vector<Vec> sheet{
        {0.14, 0.06}, {0.56, 0.06}, {0.72, 0.22}, {0.72, 0.86}, {0.14, 0.86}};
    layers.push_back(
        {Polygon({{0.16, 0.09}, {0.58, 0.09}, {0.74, 0.25}, {0.74, 0.89}, {0.16, 0.89}}),
         Solid(Hex(0x000000, 0.12))});
    layers.push_back(
        {Polygon(sheet), Linear({0.14, 0.06}, Hex(0xFFFFFF), {0.72, 0.86}, Hex(0xE9EEF3))});
    layers.push_back({Stroke(sheet, border, true), Solid(Hex(0x7F8A96))});
    layers.push_back({Polygon({{0.56, 0.06}, {0.56, 0.22}, {0.72, 0.22}}), Solid(Hex(0xC9D2DC))});
    layers.push_back(
        {Stroke({{0.56, 0.06}, {0.56, 0.22}, {0.72, 0.22}}, border), Solid(Hex(0x7F8A96))});
    for (double y : {0.32, 0.42, 0.52, 0.62, 0.72})
        layers.push_back(
            {Stroke({{0.24, y}, {y < 0.4 ? 0.50 : 0.62, y}}, line), Solid(Hex(0x9AB3CC))});
    // A warning sign over its lower right corner.
    const std::vector<Vec> sign{{0.71, 0.46}, {0.95, 0.9}, {0.47, 0.9}};
    const double round = Width(0.07, size, 2.0);
    layers.push_back({Union(Polygon({{0.71, 0.47}, {0.96, 0.93}, {0.46, 0.93}}),
                            Stroke({{0.71, 0.47}, {0.96, 0.93}, {0.46, 0.93}}, round, true)),
                      Solid(Hex(0x000000, 0.18))});
    layers.push_back({Union(Polygon(sign), Stroke(sign, round, true)),
                      Linear({0.71, 0.44}, Hex(0xFFD15C), {0.71, 0.93}, Hex(0xF0A012))});
    layers.push_back({Stroke(sign, Width(0.015, size, 0.8), true), Solid(Hex(0xC27C00, 0.5))});
    const double bar = Width(0.06, size, 2.0);
    layers.push_back(
        {Union(Stroke({{0.71, 0.6}, {0.71, 0.76}}, bar), Circle({0.71, 0.84}, bar * 0.6)),
         Solid(Hex(0x3B2A05))});
    return layers;
}

// The layers drawn into the square from corner `at` with side `scale`.
std::vector<Layer> Placed(std::vector<Layer> layers, Vec at, double scale) {
    for (Layer& layer : layers) {
        const Shape shape = layer.shape;
        const Paint paint = layer.paint;
        const auto local = [=](Vec p) { return (p - at) * (1.0 / scale); };
        layer.shape = [=](Vec p) { return shape(local(p)); };
        layer.paint = [=](Vec p) { return paint(local(p)); };
    }
    return layers;
}

// The installer: the program's disc with a green badge holding an arrow
// that points down into it.
std::vector<Layer> InstallerIcon(int size) {
    std::vector<Layer> layers;
    Disc(layers, {0.44, 0.44}, 0.42, 0x4F95E0, 0x1D4F8C, size > 20, size);
    const double badgeScale = size <= 20 ? 0.62 : 0.5;
    const int badgeSize = static_cast<int>(size * badgeScale);
    const double w = Width(0.12, badgeSize, 2.0);
    const std::vector<Layer> badge =
        WithGlyph(Badge(kGreen, badgeSize), Union(Stroke({{0.5, 0.24}, {0.5, 0.68}}, w),
                                                  Stroke({{0.3, 0.5}, {0.5, 0.7}, {0.7, 0.5}}, w)));
    for (const Layer& layer : Placed(badge, {1.0 - badgeScale, 1.0 - badgeScale}, badgeScale))
        layers.push_back(layer);
    return layers;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<int> buttons{20, 25, 30, 40};
    const std::vector<int> large{48, 60, 72, 96};
    const std::vector<int> application{16, 20, 24, 25, 30, 32, 40, 48, 60, 64, 72, 96, 128, 256};
    struct Job {
        const char* name;
        std::function<std::vector<Layer>(int)> draw;
        const std::vector<int>& sizes;
    };
    const std::vector<Job> jobs{
        {"application", ApplicationIcon, application},
        {"exit", ExitIcon, buttons},
        {"next", [](int s) { return NextIcon(s, kBlue); }, buttons},
        {"next_disabled", [](int s) { return NextIcon(s, kGrey); }, buttons},
        {"back", [](int s) { return BackIcon(s, kBlue); }, buttons},
        {"back_disabled", [](int s) { return BackIcon(s, kGrey); }, buttons},
        {"step_current", CurrentStepIcon, buttons},
        {"step_done", DoneIcon, buttons},
        {"failed", FailedIcon, buttons},
        {"info", InfoIcon, buttons},
        {"overwrite", OverwriteIcon, large},
        {"installer", InstallerIcon, application},
    };
    for (const Job& job : jobs) {
        const std::string path = dir + "/" + job.name + ".ico";
        if (!WriteIcon(path, job.draw, job.sizes)) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
