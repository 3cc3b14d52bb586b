// Draws the setup's pictures: logo.bmp (160x120, 24-bit), setup.ico (32x32
// and 16x16, 16 colours) and pages.ico, the help viewer's icon.
// Rerun after a change, from the repository root, and commit the outputs:
//   c++ -O2 tools/art/make_art.cpp -o /tmp/make_art && /tmp/make_art res
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Colour {
    float r, g, b;
};

Colour Hex(uint32_t rgb)
{
    return {float(rgb >> 16 & 255), float(rgb >> 8 & 255), float(rgb & 255)};
}

Colour Mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

const Colour Paper = Hex(0xFFFFFF);
const Colour PaperShade = Hex(0xEAF0F8);
const Colour GridLine = Hex(0xDCE6F2);
const Colour Navy = Hex(0x1F3A5F);
const Colour NavyGrid = Hex(0x2D5080);
const Colour Orange = Hex(0xE87A1E);
const Colour Aqua = Hex(0x5FC4C9);
const Colour Connector = Hex(0x86A4C8);
const Colour BarWhite = Hex(0xF4F7FB);

using Shape = std::function<bool(float, float)>;

// A picture with coverage-weighted painting: each pixel is sampled 4x4 times.
struct Canvas {
    int width, height;
    std::vector<Colour> pixels;
    std::vector<float> opacity;  // how much of each pixel is painted at all

    Canvas(int w, int h) : width(w), height(h), pixels(w * h, Colour{0, 0, 0}), opacity(w * h, 0) {}

    void Fill(const Shape& inside, Colour colour, float alpha = 1)
    {
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                int hits = 0;
                for (int j = 0; j < 4; j++)
                    for (int i = 0; i < 4; i++)
                        hits += inside(x + (i + 0.5f) / 4, y + (j + 0.5f) / 4);
                if (!hits)
                    continue;
                float t = alpha * hits / 16;
                Colour& p = pixels[y * width + x];
                p = Mix(p, colour, t);
                opacity[y * width + x] += (1 - opacity[y * width + x]) * t;
            }
    }
};

Shape RoundRect(float x0, float y0, float x1, float y1, float r)
{
    return [=](float x, float y) {
        if (x < x0 || x > x1 || y < y0 || y > y1)
            return false;
        float cx = std::fmin(std::fmax(x, x0 + r), x1 - r);
        float cy = std::fmin(std::fmax(y, y0 + r), y1 - r);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

Shape Rect(float x0, float y0, float x1, float y1)
{
    return [=](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape Disc(float cx, float cy, float r)
{
    return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

// A pen stroke of half-width w along a segment, with round ends.
Shape Line(float ax, float ay, float bx, float by, float w)
{
    return [=](float x, float y) {
        float dx = bx - ax, dy = by - ay;
        float length2 = dx * dx + dy * dy;
        float t = length2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / length2 : 0;
        t = std::fmin(std::fmax(t, 0.f), 1.f);
        float px = ax + t * dx - x, py = ay + t * dy - y;
        return px * px + py * py <= w * w;
    };
}

// A pen stroke along a circle from angle a0 to a1 (degrees, clockwise on
// screen from the right), with round ends.
Shape Arc(float cx, float cy, float radius, float a0, float a1, float w)
{
    const float pi = 3.14159265f;
    float r0 = a0 * pi / 180, r1 = a1 * pi / 180;
    Shape end0 = Disc(cx + radius * std::cos(r0), cy + radius * std::sin(r0), w);
    Shape end1 = Disc(cx + radius * std::cos(r1), cy + radius * std::sin(r1), w);
    return [=](float x, float y) {
        float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
        if (std::fabs(d - radius) <= w) {
            float a = std::atan2(y - cy, x - cx);
            while (a < r0)
                a += 2 * pi;
            if (a <= r1)
                return true;
        }
        return end0(x, y) || end1(x, y);
    };
}

Shape Union(std::vector<Shape> parts)
{
    return [=](float x, float y) {
        for (const Shape& part : parts)
            if (part(x, y))
                return true;
        return false;
    };
}

// The word "Gridmark" in a rounded geometric hand. Glyphs are drawn in units
// of s pixels from the baseline; x-height 16, capitals and ascenders 22.
float DrawWord(Canvas& canvas, float left, float baseline, float s, Colour colour, bool measure)
{
    const float w = 2.1f * s;  // half the stroke
    const float xh = 16 * s, cap = 22 * s, gap = 3.2f * s;
    float x = left;
    std::vector<Shape> parts;
    auto stem = [&](float sx, float top) { parts.push_back(Line(sx, top + w, sx, baseline - w, w)); };

    // G
    {
        float r = cap / 2 - w, cx = x + cap / 2, cy = baseline - cap / 2;
        parts.push_back(Arc(cx, cy, r, 0, 312, w));
        parts.push_back(Line(cx + 1.5f * s, cy, cx + r, cy, w));
        parts.push_back(Line(cx + r, cy, cx + r, cy + 3 * s, w));
        x += cap + gap;
    }
    // r, i, d, m, a, r, k
    auto drawR = [&] {
        stem(x + w, baseline - xh);
        float r = 6.5f * s;
        parts.push_back(Arc(x + w + r, baseline - xh + w + r, r, 180, 295, w));
        x += w + r + r * 0.45f + w + gap;
    };
    drawR();
    stem(x + w, baseline - xh);
    parts.push_back(Disc(x + w, baseline - xh - 5 * s, w * 1.25f));
    x += 2 * w + gap;
    {
        float r = xh / 2 - w;
        parts.push_back(Arc(x + w + r, baseline - xh / 2, r, 0, 360, w));
        stem(x + 2 * w + 2 * r - w, baseline - cap);
        x += 2 * w + 2 * r + gap;
    }
    {
        float r = 5 * s;
        float top = baseline - xh + w + r;
        stem(x + w, baseline - xh);
        parts.push_back(Arc(x + w + r, top, r, 180, 360, w));
        parts.push_back(Line(x + w + 2 * r, top, x + w + 2 * r, baseline - w, w));
        parts.push_back(Arc(x + w + 3 * r, top, r, 180, 360, w));
        parts.push_back(Line(x + w + 4 * r, top, x + w + 4 * r, baseline - w, w));
        x += 2 * w + 4 * r + gap;
    }
    {
        float r = xh / 2 - w;
        parts.push_back(Arc(x + w + r, baseline - xh / 2, r, 0, 360, w));
        stem(x + 2 * w + 2 * r - w, baseline - xh);
        x += 2 * w + 2 * r + gap;
    }
    drawR();
    {
        stem(x + w, baseline - cap);
        float arm = 10 * s;
        parts.push_back(Line(x + w + 1 * s, baseline - 6 * s, x + w + arm, baseline - xh + w, w));
        parts.push_back(Line(x + w + 4.5f * s, baseline - 8.5f * s, x + w + arm, baseline - w, w));
        x += 2 * w + arm;
    }
    if (!measure)
        canvas.Fill(Union(parts), colour);
    return x - left;
}

// The outline motif: a navy tile with items on two levels. It has no grid
// lines of its own: the wizard shrinks the logo without a stretching mode,
// which ANDs neighbouring pixels, and navy on navy ANDs to black.
void DrawTile(Canvas& canvas, float x0, float y0, float size)
{
    float u = size / 16;  // the tile is laid out on a 16 x 16 grid
    canvas.Fill(RoundRect(x0, y0, x0 + size, y0 + size, 2.6f * u), Navy);
    struct Row {
        float indent, length;
        Colour bullet;
    } rows[] = {{0, 9, Orange}, {3, 6, Aqua}, {3, 4.5f, Aqua}, {0, 7.5f, Orange}};
    float trunk = x0 + 3.5f * u;
    canvas.Fill(Rect(trunk - 0.3f * u, y0 + 4 * u, trunk + 0.3f * u, y0 + 9.5f * u), Connector);
    for (int i = 0; i < 4; i++) {
        float cy = y0 + (3.5f + i * 3) * u;
        float bx = x0 + (2.5f + rows[i].indent) * u;
        if (rows[i].indent > 0)
            canvas.Fill(Rect(trunk - 0.3f * u, cy - 0.3f * u, bx, cy + 0.3f * u), Connector);
        canvas.Fill(RoundRect(bx, cy - u, bx + 2 * u, cy + u, 0.4f * u), rows[i].bullet);
        canvas.Fill(RoundRect(bx + 3 * u, cy - 0.8f * u, bx + (3 + rows[i].length) * u, cy + 0.8f * u,
                              0.5f * u),
                    BarWhite);
    }
}

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out.push_back(uint8_t(value >> (8 * i)));
}

uint8_t Byte(float v)
{
    return uint8_t(std::lround(std::fmin(std::fmax(v, 0.f), 255.f)));
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits, uint32_t imageSize,
                   uint32_t pelsPerMeter)
{
    PutLE(out, 40, 4);
    PutLE(out, uint32_t(width), 4);
    PutLE(out, uint32_t(height), 4);
    PutLE(out, 1, 2);
    PutLE(out, uint32_t(bits), 2);
    PutLE(out, 0, 4);  // BI_RGB
    PutLE(out, imageSize, 4);
    PutLE(out, pelsPerMeter, 4);
    PutLE(out, pelsPerMeter, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool done = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && done;
}

std::vector<uint8_t> Logo()
{
    const int width = 160, height = 120;
    Canvas canvas(width, height);
    // Grid paper, a little darker towards the foot.
    for (int y = 0; y < height; y++)
        canvas.Fill(Rect(0, y, width, y + 1), Mix(Paper, PaperShade, float(y) / height));
    for (int at = 4; at < width; at += 8) {
        canvas.Fill(Rect(at, 0, at + 1, height), GridLine);
        if (at < height)
            canvas.Fill(Rect(0, at, width, at + 1), GridLine);
    }
    const float tile = 58;
    const float tileX = (width - tile) / 2, tileY = 7;
    canvas.Fill(RoundRect(tileX + 1.5f, tileY + 2.5f, tileX + tile + 1.5f, tileY + tile + 2.5f, 9),
                Hex(0x9AAAC0), 0.55f);
    DrawTile(canvas, tileX, tileY, tile);

    const float s = 1.0f, baseline = 99;
    float wordWidth = DrawWord(canvas, 0, baseline, s, Navy, true);
    float left = std::round((width - wordWidth) / 2);
    DrawWord(canvas, left, baseline, s, Navy, false);
    canvas.Fill(RoundRect(width / 2 - 22, 106, width / 2 + 22, 110, 2), Orange);

    std::vector<uint8_t> out;
    const uint32_t imageSize = width * height * 3;
    out.push_back('B');
    out.push_back('M');
    PutLE(out, 14 + 40 + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, 14 + 40, 4);
    PutInfoHeader(out, width, height, 24, imageSize, 2834);
    for (int y = height - 1; y >= 0; y--)
        for (int x = 0; x < width; x++) {
            const Colour& p = canvas.pixels[y * width + x];
            out.push_back(Byte(p.b));
            out.push_back(Byte(p.g));
            out.push_back(Byte(p.r));
        }
    return out;
}

// Sixteen colours of our own: the motif's colours and the steps between them.
std::vector<Colour> IconPalette()
{
    return {Hex(0x000000), Navy,           NavyGrid,
            BarWhite,      Orange,         Aqua,
            Connector,     Hex(0xFFFFFF),  Mix(Navy, BarWhite, 0.35f),
            Mix(Navy, BarWhite, 0.7f), Mix(Navy, Orange, 0.5f), Mix(Navy, Aqua, 0.5f),
            Hex(0x8A96A8), Hex(0xC4CCD8), Hex(0x3A4A60), Hex(0xE0E4EA)};
}

// One 4-bit icon image: header with double height, palette, XOR rows, AND mask.
std::vector<uint8_t> IconImage(const Canvas& canvas)
{
    const int size = canvas.width;
    std::vector<Colour> palette = IconPalette();
    const int xorRow = size / 2, andRow = ((size + 31) / 32) * 4;
    std::vector<uint8_t> out;
    PutInfoHeader(out, size, size * 2, 4, uint32_t((xorRow + andRow) * size), 0);
    for (const Colour& c : palette) {
        out.push_back(Byte(c.b));
        out.push_back(Byte(c.g));
        out.push_back(Byte(c.r));
        out.push_back(0);
    }
    std::vector<uint8_t> mask;
    for (int y = size - 1; y >= 0; y--) {
        std::vector<uint8_t> maskRow(andRow, 0);
        for (int x = 0; x < size; x += 2) {
            uint8_t pair = 0;
            for (int k = 0; k < 2; k++) {
                int i = y * size + x + k;
                int index = 0;
                if (canvas.opacity[i] >= 0.5f) {
                    // The painted colour as it would show over black.
                    Colour c = canvas.pixels[i];
                    float o = canvas.opacity[i];
                    c = {c.r / o, c.g / o, c.b / o};
                    float best = 1e9f;
                    for (int j = 1; j < 16; j++) {
                        float dr = c.r - palette[j].r, dg = c.g - palette[j].g, db = c.b - palette[j].b;
                        float d = 0.3f * dr * dr + 0.59f * dg * dg + 0.11f * db * db;
                        if (d < best) {
                            best = d;
                            index = j;
                        }
                    }
                } else {
                    maskRow[(x + k) / 8] |= uint8_t(0x80 >> ((x + k) % 8));
                }
                pair = uint8_t(pair << 4 | index);
            }
            out.push_back(pair);
        }
        mask.insert(mask.end(), maskRow.begin(), maskRow.end());
    }
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

std::vector<uint8_t> IconFile(const std::vector<std::vector<uint8_t>>& images, const int* sizes)
{
    std::vector<uint8_t> out;
    PutLE(out, 0, 2);
    PutLE(out, 1, 2);
    PutLE(out, uint32_t(images.size()), 2);
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); i++) {
        out.push_back(uint8_t(sizes[i]));
        out.push_back(uint8_t(sizes[i]));
        out.push_back(16);
        out.push_back(0);
        PutLE(out, 1, 2);
        PutLE(out, 4, 2);
        PutLE(out, uint32_t(images[i].size()), 4);
        PutLE(out, offset, 4);
        offset += uint32_t(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

// The tile again, laid out on whole pixels: at icon sizes every edge is sharp.
void DrawIconTile(Canvas& canvas)
{
    const int size = canvas.width;
    canvas.Fill(RoundRect(0, 0, size, size, size / 6.f), Navy);
    if (size == 32) {
        for (int at = 4; at < 32; at += 4) {
            canvas.Fill(Rect(at, 3, at + 1, 29), NavyGrid);
            canvas.Fill(Rect(3, at, 29, at + 1), NavyGrid);
        }
        canvas.Fill(Rect(6, 9, 8, 20), Connector);
        canvas.Fill(Rect(8, 12, 11, 14), Connector);
        canvas.Fill(Rect(8, 18, 11, 20), Connector);
        struct {
            int x, y, bar;
            Colour bullet;
        } rows[] = {{5, 5, 27, Orange}, {11, 11, 27, Aqua}, {11, 17, 24, Aqua}, {5, 23, 23, Orange}};
        for (const auto& row : rows) {
            canvas.Fill(Rect(row.x, row.y, row.x + 4, row.y + 4), row.bullet);
            canvas.Fill(Rect(row.x + 6, row.y, row.bar, row.y + 4), BarWhite);
        }
    } else {
        struct {
            int x, y, bar;
            Colour bullet;
        } rows[] = {{3, 3, 13, Orange}, {6, 7, 13, Aqua}, {3, 11, 11, Orange}};
        for (const auto& row : rows) {
            canvas.Fill(Rect(row.x, row.y, row.x + 2, row.y + 2), row.bullet);
            canvas.Fill(Rect(row.x + 3, row.y, row.bar, row.y + 2), BarWhite);
        }
    }
}

// A white page with a folded corner, an orange heading and navy lines of text;
// whole pixels, so the outline along the fold stays one pixel wide.
void DrawIconPage(Canvas& canvas)
{
    const int size = canvas.width;
    const int left = size / 8, right = size - size / 8, fold = size / 4;
    auto region = [=](int x0, int y0, int x1, int y1, int cut) -> Shape {
        return [=](float fx, float fy) {
            int x = int(fx), y = int(fy);
            return x >= x0 && x < x1 && y >= y0 && y < y1 && x - (right - fold) - y <= cut;
        };
    };
    const Colour outline = Hex(0x3A4A60);
    canvas.Fill(region(left, 0, right, size, 0), outline);
    canvas.Fill(region(left + 1, 1, right - 1, size - 1, -1), Hex(0xFFFFFF));
    canvas.Fill(region(right - fold, 0, right, fold, 0), outline);
    canvas.Fill(region(right - fold + 1, 0, right, fold - 1, -1), Hex(0xC4CCD8));
    if (size == 32) {
        canvas.Fill(Rect(8, 8, 19, 12), Orange);
        int lengths[] = {16, 13, 16, 10};
        for (int i = 0; i < 4; i++)
            canvas.Fill(Rect(8, 15 + i * 4, 8 + lengths[i], 17 + i * 4), Navy);
    } else {
        canvas.Fill(Rect(4, 4, 9, 6), Orange);
        int lengths[] = {8, 6, 8};
        for (int i = 0; i < 3; i++)
            canvas.Fill(Rect(4, 8 + i * 2, 4 + lengths[i], 9 + i * 2), Navy);
    }
}

std::vector<uint8_t> MakeIcon(void (*draw)(Canvas&))
{
    const int sizes[] = {32, 16};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) {
        Canvas canvas(size, size);
        draw(canvas);
        images.push_back(IconImage(canvas));
    }
    return IconFile(images, sizes);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_art OUTPUT-FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } outputs[] = {{"logo.bmp", Logo()}, {"setup.ico", MakeIcon(DrawIconTile)},
                   {"pages.ico", MakeIcon(DrawIconPage)}};
    for (const auto& output : outputs) {
        std::string path = folder + "/" + output.name;
        if (!WriteFile(path, output.bytes)) {
            std::perror(path.c_str());
            return 1;
        }
        std::printf("%s: %zu bytes\n", path.c_str(), output.bytes.size());
    }
    return 0;
}
