// Writes large, realistic NC milling programs for the benchmarks, the same bytes for the same
// arguments:
//   gen_program finish LINES SEED   3D zig-zag finishing: G01 X Y Z F on every line
//   gen_program pocket LINES SEED   2D pockets at many depths: arcs, compensation, tools
//   gen_program random BYTES SEED   random bytes, for robustness tests
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::string Num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s(buf);
    while (s.back() == '0')
        s.pop_back();
    if (s == "-0.")
        s = "0.";
    return s;
}

// Writes lines up to a count; the last two lines of every program are its end.
// Joins pieces of a line (operator+ on string literals trips a false -Wrestrict at -O3).
template <typename... Parts> std::string Cat(const Parts &...parts)
{
    std::string s;
    (s.append(parts), ...);
    return s;
}

class Writer {
public:
    explicit Writer(long lines) : m_limit(lines - 2) {}
    ~Writer() { std::fputs("G00Z20.\r\nM30\r\n", stdout); }
    bool Full() const { return m_written >= m_limit; }
    /// True when `lines` more lines fit.
    bool Room(long lines) const { return m_written + lines <= m_limit; }
    void Line(const std::string &text)
    {
        if (Full())
            return;
        std::fputs(text.c_str(), stdout);
        std::fputs("\r\n", stdout);
        ++m_written;
    }
    long written() const { return m_written; }

private:
    long m_limit;
    long m_written = 0;
};

// A smooth surface under a 100 x 80 mm part, cut in rows 0.2 mm apart.
void Finish(long lines, std::mt19937_64 &rng)
{
    Writer w(lines);
    std::uniform_real_distribution<double> jitter(-0.002, 0.002);
    w.Line("%");
    w.Line("O0001");
    w.Line("(3D FINISHING, BALL END MILL R3)");
    w.Line("G90G17G21G40G49G80");
    w.Line("T5M06");
    w.Line("S12000M03");
    w.Line("G00X0Y0");
    w.Line("G43Z20.H5");
    w.Line("Z1.");
    long n = 10;
    double y = 0;
    for (int row = 0; !w.Full(); ++row) {
        const bool forward = row % 2 == 0;
        for (int k = 0; k <= 500 && !w.Full(); ++k) {
            const double x = (forward ? k : 500 - k) * 0.2;
            const double z = -2.0 + 1.5 * std::sin(x / 11.0) * std::cos(y / 7.0) + jitter(rng);
            std::string line;
            if (w.written() % 300 == 0)
                line += Cat("N", std::to_string(n++ * 10));
            line += Cat("G01X", Num(x), "Y", Num(y), "Z", Num(z), "F2500");
            w.Line(line);
        }
        y += 0.2;
        if (y > 80)
            y = 0;
    }
}

// Rectangular pockets with rounded corners, cut with compensation at many depths, three tools.
void Pocket(long lines, std::mt19937_64 &rng)
{
    constexpr long kPassLines = 14;
    Writer w(lines);
    std::uniform_int_distribution<int> pick(0, 2);
    w.Line("%");
    w.Line("O0002");
    w.Line("(POCKETS, ROUGH AND FINISH)");
    w.Line("G90G17G21G40G49G80");
    int tool = 1;
    while (w.Room(kPassLines + 7)) {
        w.Line(Cat("(TOOL ", std::to_string(tool), ")"));
        w.Line(Cat("T", std::to_string(tool), "M06"));
        w.Line(Cat("S", std::to_string(3000 + 1000 * tool), "M03"));
        w.Line("G00X-10.Y-10.");
        w.Line(Cat("G43Z20.H", std::to_string(tool)));
        // Whole passes only: a program cut off inside a pass ends where no pass would.
        for (int depth = 1; depth <= 200 && w.Room(kPassLines); ++depth) {
            const double z = -0.25 * depth;
            const double width = 40 + 5 * pick(rng);
            const double height = 30 + 5 * pick(rng);
            const bool right = depth % 2 == 0;
            w.Line("G00Z1.");
            w.Line(Cat("G01Z", Num(z), "F120"));
            w.Line(Cat(right ? "G42" : "G41", "D", std::to_string(tool), "X0Y0F600"));
            w.Line(Cat("Y", Num(height - 5)));
            if (depth % 3 == 0)
                w.Line(Cat("G02X5.Y", Num(height), "R5."));
            else
                w.Line(Cat("G02X5.Y", Num(height), "I5.J0"));
            w.Line(Cat("G01X", Num(width - 5)));
            w.Line(Cat("G02X", Num(width), "Y", Num(height - 5), "I0J-5."));
            w.Line("G01Y5.");
            w.Line(Cat("G02X", Num(width - 5), "Y0I-5.J0"));
            w.Line("G01X5.");
            w.Line("G02X0Y5.R5.");
            w.Line(Cat("G01Y", Num(height / 2)));
            w.Line("G40X-10.Y-10.");
        }
        w.Line("G00Z20.");
        w.Line("M05");
        tool = tool % 3 + 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fputs("usage: gen_program finish|pocket LINES SEED | random BYTES SEED\n", stderr);
        return 64;
    }
    const std::string kind = argv[1];
    const long lines = std::strtol(argv[2], nullptr, 10);
    std::mt19937_64 rng(std::strtoull(argv[3], nullptr, 10));
    if (kind == "finish")
        Finish(lines, rng);
    else if (kind == "pocket")
        Pocket(lines, rng);
    else if (kind == "random")
        for (long i = 0; i < lines; ++i)
            std::putchar(static_cast<int>(rng() & 0xFF));
    else
        return 64;
    return std::fflush(stdout) == 0 ? 0 : 1;
}
