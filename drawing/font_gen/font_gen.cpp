// Builds the built-in font sheet from the text-art glyphs and writes it as a C++ word array.
//
//   g++ -std=c++17 -O2 drawing/font_gen/font_gen.cpp -o font_gen
//   ./font_gen drawing/font_gen/glyphs.txt > drawing/font_fixedsys.cpp
//   ./font_gen drawing/font_gen/glyphs.txt --pbm sheet.pbm   (the sheet as a picture)
//
// The sheet is 251 x 381 pixels, paper 1 and ink 0: 10 x 20 cells of 24 x 18 interior pixels
// inside a one-pixel ink grid, codes 33 to 232 in reading order. Each glyph is drawn in the
// 14 x 8 block 5 pixels in from the cell's sides; the rest of the cell is paper.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 251, kCols = 381, kMargin = 5, kGlyphRows = 14, kGlyphCols = 8;
constexpr int kTop = 2;  // block row of a capital's top; rows above hold capital accents

using Glyph = std::vector<std::string>;  // kGlyphRows strings of kGlyphCols, '#' ink

Glyph blank() { return Glyph(kGlyphRows, std::string(kGlyphCols, '.')); }

std::map<int, Glyph> read_glyphs(const char* path) {
  std::ifstream in(path);
  if (!in) {
    std::cerr << "cannot read " << path << "\n";
    std::exit(1);
  }
  std::map<int, Glyph> glyphs;
  std::string line;
  int code = -1, row = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == ';' || (line[0] == '#' && line.size() > 1 && line[1] == ' '))
      continue;
    if (line[0] == '=') {
      const std::string name = line.substr(1);
      code = name.size() > 1 && name[0] == '#' ? std::stoi(name.substr(1))
                                               : static_cast<unsigned char>(name[0]);
      glyphs[code] = blank();
      row = kTop;
      continue;
    }
    if (code < 0 || row >= kGlyphRows || line.size() > kGlyphCols) {
      std::cerr << "bad glyph line for code " << code << ": " << line << "\n";
      std::exit(1);
    }
    for (size_t c = 0; c < line.size(); c++)
      if (line[c] == '#') glyphs[code][row][c] = '#';
    row++;
  }
  return glyphs;
}

// Accents on two rows, set above a capital (block rows 0-1) or a lower-case letter (3-4).
const std::map<char, Glyph> kAccents = {
    {'`', {"..#....", "...#..."}}, {'\'', {"....#..", "...#..."}}, {'^', {"...#...", "..#.#.."}},
    {'~', {"..##..#", ".#..##."}}, {':', {".#...#.", "......."}},  {'o', {"...#...", "..#.#.."}},
};

Glyph accented(const Glyph& base, char accent, bool capital) {
  Glyph g = base;
  const int top = capital ? 0 : 3;
  const Glyph& a = kAccents.at(accent);
  for (int r = 0; r < 2; r++)
    for (size_t c = 0; c < a[r].size(); c++)
      if (a[r][c] == '#') g[top + r][c] = '#';
  return g;
}

Glyph cedilla(const Glyph& base) {
  Glyph g = base;
  g[kTop + 9][3] = '#';
  g[kTop + 10][2] = g[kTop + 10][3] = '#';
  return g;
}

Glyph box() {
  Glyph g = blank();
  for (int r = kTop; r <= kTop + 8; r++)
    for (int c = 0; c < 7; c++)
      if (r == kTop || r == kTop + 8 || c == 0 || c == 6) g[r][c] = '#';
  return g;
}

// Fills the glyphs of every code 33..232: drawn ones, accented letters composed from their
// base, a box for the rest (and for 183, the control-code glyph); 160, the space, stays blank.
std::map<int, Glyph> all_glyphs(std::map<int, Glyph> g) {
  const struct {
    int code;
    char base, accent;
  } composed[] = {
      {192, 'A', '`'}, {193, 'A', '\''}, {194, 'A', '^'},  {195, 'A', '~'}, {196, 'A', ':'},
      {197, 'A', 'o'}, {200, 'E', '`'},  {201, 'E', '\''}, {202, 'E', '^'}, {203, 'E', ':'},
      {204, 'I', '`'}, {205, 'I', '\''}, {206, 'I', '^'},  {207, 'I', ':'}, {209, 'N', '~'},
      {210, 'O', '`'}, {211, 'O', '\''}, {212, 'O', '^'},  {213, 'O', '~'}, {214, 'O', ':'},
      {217, 'U', '`'}, {218, 'U', '\''}, {219, 'U', '^'},  {220, 'U', ':'}, {221, 'Y', '\''},
      {224, 'a', '`'}, {225, 'a', '\''}, {226, 'a', '^'},  {227, 'a', '~'}, {228, 'a', ':'},
      {229, 'a', 'o'}, {232, 'e', '`'},
  };
  for (const auto& k : composed)
    g[k.code] = accented(g.at(k.base), k.accent, k.base >= 'A' && k.base <= 'Z');
  g[199] = cedilla(g.at('C'));
  g[231] = cedilla(g.at('c'));
  g[160] = blank();
  g[183] = box();
  for (int code = 33; code <= 232; code++)
    if (!g.count(code)) g[code] = box();
  return g;
}

std::vector<std::vector<bool>> build_sheet(const std::map<int, Glyph>& glyphs) {
  std::vector<std::vector<bool>> paper(kRows, std::vector<bool>(kCols, true));
  for (int l = 0; l < kRows; l++)
    for (int c = 0; c < kCols; c++)
      if (l % 25 == 0 || c % 19 == 0) paper[l][c] = false;
  for (int code = 33; code <= 232; code++) {
    const int k = code - 33;
    const int l0 = k / 20 * 25 + 1 + kMargin, c0 = k % 20 * 19 + 1 + kMargin;
    const Glyph& g = glyphs.at(code);
    for (int r = 0; r < kGlyphRows; r++)
      for (int c = 0; c < kGlyphCols; c++)
        if (g[r][c] == '#') paper[l0 + r][c0 + c] = false;
  }
  return paper;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: font_gen glyphs.txt [--pbm out.pbm]\n";
    return 1;
  }
  const auto sheet = build_sheet(all_glyphs(read_glyphs(argv[1])));
  if (argc == 4 && std::string(argv[2]) == "--pbm") {
    std::ofstream out(argv[3]);
    out << "P1\n" << kCols << " " << kRows << "\n";
    for (const auto& row : sheet) {
      for (bool p : row) out << (p ? "0" : "1");  // PBM: 1 is black
      out << "\n";
    }
    return out ? 0 : 1;
  }
  // Row-major bit stream, most significant bit first; the unused tail bits stay zero.
  std::vector<uint32_t> words((kRows * kCols + 31) / 32, 0);
  for (int l = 0; l < kRows; l++)
    for (int c = 0; c < kCols; c++)
      if (sheet[l][c]) {
        const int bit = l * kCols + c;
        words[bit / 32] |= 0x80000000u >> (bit % 32);
      }
  std::printf(
      "// The built-in font sheet, made by drawing/font_gen from drawing/font_gen/glyphs.txt.\n"
      "#include \"drawing/text.h\"\n\n"
      "const uint32_t PutTxt::fixedsys[PutTxt::kWords] = {\n");
  for (size_t i = 0; i < words.size(); i++)
    std::printf("%s0x%08x,%s", i % 8 == 0 ? "    " : " ", static_cast<unsigned>(words[i]),
                i % 8 == 7 || i + 1 == words.size() ? "\n" : "");
  std::printf("};\n");
  return 0;
}
