// Analyze 7.5 file pairs of the 4D images.
#include "volumes/analyze.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "foundation/file_internal.h"
#include "images/image_files_internal.h"

static_assert(offsetof(AlzHdr, regular) == 38 && offsetof(AlzHdr, dim) == 40 &&
                  offsetof(AlzHdr, datatype) == 70 && offsetof(AlzHdr, pixdim) == 76 &&
                  offsetof(AlzHdr, funused1) == 112 && offsetof(AlzHdr, glmax) == 140 &&
                  offsetof(AlzHdr, orient) == 252 && offsetof(AlzHdr, origem) == 253 &&
                  offsetof(AlzHdr, views) == 316 && offsetof(AlzHdr, smin) == 344,
              "AlzHdr fields must sit at their published offsets");

namespace vistelmo {
namespace {

// Class name, voxel codes and row order of each Analyze class.
template <class Alz>
struct AlzKind;
template <>
struct AlzKind<ALZFLT> {
  static constexpr const char* name = "ALZFLT";
  static constexpr int16_t datatype = 16, bitpix = 32;
  static constexpr const char* wrong_type = "ALZFLT so float";
  static constexpr bool bottom_up = false;
};
template <>
struct AlzKind<ALZSHT> {
  static constexpr const char* name = "ALZSHT";
  static constexpr int16_t datatype = 4, bitpix = 16;
  static constexpr const char* wrong_type = "ALZSHT so signed 16 bits";
  static constexpr bool bottom_up = false;
};
template <>
struct AlzKind<ALZGRY> {
  static constexpr const char* name = "ALZGRY";
  static constexpr int16_t datatype = 2, bitpix = 8;
  static constexpr const char* wrong_type = "ALZGRY so unsigned 8 bits";
  static constexpr bool bottom_up = true;  // rows from the last to the first
};

// Counts are stored as their low 16 bits.
int16_t low16(int v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

void set_counts(AlzHdr& h, int nv, int ns, int nc, int nl) {
  h.dim[0] = 4;
  h.dim[1] = low16(nc);
  h.dim[2] = low16(nl);
  h.dim[3] = low16(ns);
  h.dim[4] = low16(nv);
}

template <class Alz>
void default_header(Alz& a, int nv, int ns, int nc, int nl, float dz, float dx, float dy) {
  AlzHdr& h = a.hdr;
  std::memset(&h, 0, sizeof h);
  h.sizeof_hdr = 348;
  h.regular = 'r';
  set_counts(h, nv, ns, nc, nl);
  h.datatype = AlzKind<Alz>::datatype;
  h.bitpix = AlzKind<Alz>::bitpix;
  h.pixdim[0] = 2.0f;
  h.pixdim[1] = dx;
  h.pixdim[2] = dy;
  h.pixdim[3] = dz;
  h.funused1 = 1.0f;
  h.glmax = 255;
}

struct Dims {
  int nv, ns, nl, nc;
};
Dims dims(const AlzHdr& h) { return {h.dim[4], h.dim[3], h.dim[2], h.dim[1]}; }

// Voxels of a 4D size; 0 when a count is 0 or below.
int64_t voxel_count(int nv, int ns, int nl, int nc) {
  return nv > 0 && ns > 0 && nl > 0 && nc > 0 ? int64_t(nv) * ns * nl * nc : 0;
}

// Bytes of one row of a slice whose sizes match the header's.
template <class Alz>
constexpr size_t voxel_bytes() {
  return sizeof(typename std::remove_reference_t<decltype(Alz::img)>::Pixel);
}

// The header holds the counts in 16-bit signed fields.
bool counts_fit(int nv, int ns, int nl, int nc) {
  return nv <= INT16_MAX && ns <= INT16_MAX && nl <= INT16_MAX && nc <= INT16_MAX;
}

template <class Alz>
void write_alz(const Alz& a, const std::string& base) {
  using Kind = AlzKind<Alz>;
  const std::string who = message_prefix(Kind::name, "ImpAlz");
  // An image with voxels that the header cannot describe: refused before any file is made.
  const auto& m = a.img;
  if (voxel_count(m.nv, m.ns, m.nl, m.nc) > 0 && !counts_fit(m.nv, m.ns, m.nl, m.nc))
    erro(who + "Imagem muito grande para Analyze ", base + ".hdr");
  const std::string open_msg = who + "Abertura de ", buf_msg = who + "Faltou memoria setvbuf";
  const std::string fail_msg = who + "Falha na escrita ";
  {
    StdioFile f(base + ".hdr", "wb", open_msg, buf_msg);
    f.write(&a.hdr, sizeof a.hdr, 1);
    f.finish(fail_msg);
  }

  // The header must describe the image: every slice it names exists and has its size. A
  // header and an image that both hold no voxels agree (a read header without voxels leaves
  // the image empty).
  const Dims d = dims(a.hdr);
  const bool both_empty = voxel_count(d.nv, d.ns, d.nl, d.nc) == 0 &&
                          voxel_count(a.img.nv, a.img.ns, a.img.nl, a.img.nc) == 0;
  for (int v = 0; v < (both_empty ? 0 : d.nv); v++) {
    const int ns = Kind::bottom_up ? a.img(v).ns() : a.img.ns();
    if (ns != d.ns) erro("HDR nao concorda com IMG", "");
    for (int s = 0; s < d.ns; s++) {
      const auto& im = a.img(v, s);
      if (im.nl != d.nl || im.nc != d.nc) erro("HDR nao concorda com IMG", "");
    }
  }

  StdioFile f(base + ".img", "wb", open_msg, buf_msg);
  if (d.nl > 0 && d.nc > 0) {
    for (int v = 0; v < d.nv; v++) {
      for (int s = 0; s < d.ns; s++) {
        const auto& im = a.img(v, s);
        if (Kind::bottom_up) {
          for (int r = d.nl - 1; r >= 0; r--) f.write(im.rows[r], voxel_bytes<Alz>(), d.nc);
        } else {
          f.write(im.data, voxel_bytes<Alz>(), size_t(d.nl) * d.nc);
        }
      }
    }
  }
  f.finish(fail_msg);
}

template <class Alz>
void read_alz(Alz& a, const std::string& base) {
  using Kind = AlzKind<Alz>;
  const std::string who = message_prefix(Kind::name, "LeAlz");
  const std::string open_msg = who + "Abertura de ", buf_msg = who + "Faltou memoria setvbuf";
  {
    StdioFile f(base + ".hdr", "rb", open_msg, buf_msg);
    // A short file leaves the rest of the header as it was; the checks decide.
    f.read(&a.hdr, 1, sizeof a.hdr);
  }
  const AlzHdr& h = a.hdr;
  const std::string format = std::string("Erro formato ") + Kind::name + " 1";
  if (h.sizeof_hdr != 348 || h.regular != 'r') erro(format, "");
  if (h.datatype != Kind::datatype || h.bitpix != Kind::bitpix) erro(Kind::wrong_type, "");
  if (h.dim[0] != 4) erro("Tem que ser 4D (isto nao impede que nvolumes possa ser 1)", "");
  const Dims d = dims(h);
  if (d.nv < 0 || d.ns < 0 || d.nl < 0 || d.nc < 0) erro(format, "");

  // The image file must hold every voxel before the image is sized for them.
  StdioFile f(base + ".img", "rb", open_msg, buf_msg);
  const std::string short_file = who + "Fim inesperado";
  const int64_t voxels = voxel_count(d.nv, d.ns, d.nl, d.nc);
  if (block_exceeds_file(f, voxels, voxel_bytes<Alz>())) erro(short_file, "");
  // Without voxels the image stays empty: no slice objects for counts the file does not hold.
  if (voxels == 0) {
    a.img.resize(0, 0, 0, 0);
    return;
  }
  a.img.resize(d.nv, d.ns, d.nl, d.nc);
  const int64_t slice = int64_t(d.nl) * d.nc;
  for (int v = 0; v < d.nv; v++) {
    for (int s = 0; s < d.ns; s++) {
      auto& im = a.img(v, s);
      if (Kind::bottom_up) {
        for (int r = d.nl - 1; r >= 0; r--)
          if (!f.read(im.rows[r], voxel_bytes<Alz>(), d.nc)) erro(short_file, "");
      } else if (!f.read(im.data, voxel_bytes<Alz>(), slice)) {
        erro(short_file, "");
      }
    }
  }
}

// Five int16 at byte offsets 0, 2, ... of the unaligned originator field.
int16_t origem(const AlzHdr& h, int i) {
  int16_t v;
  std::memcpy(&v, h.origem + 2 * i, 2);
  return v;
}

void put_chars(const char* p, int n) {
  for (int i = 0; i < n; i++) std::putchar(p[i]);
  std::putchar('\n');
}

}  // namespace
}  // namespace vistelmo

using vistelmo::default_header;

#define VISTELMO_DEFINE_ALZ_FILES(ALZ)                                                  \
  void ALZ::ImpAlz(const std::string& base) const { vistelmo::write_alz(*this, base); } \
  void ALZ::LeAlz(const std::string& base) { vistelmo::read_alz(*this, base); }

// The sized constructors and resize of ALZFLT and ALZSHT.
#define VISTELMO_DEFINE_ALZ_SIZED(ALZ)                                             \
  ALZ::ALZ(int nv, int ns, int nc, int nl, float dz, float dx, float dy) {         \
    resize(nv, ns, nc, nl, dz, dx, dy);                                            \
  }                                                                                \
  ALZ::ALZ(int nv, int ns, int nc, int nl, const AlzHdr& h) : hdr(h) {             \
    img.resize(nv, ns, nl, nc);                                                    \
    vistelmo::set_counts(hdr, nv, ns, nc, nl);                                     \
  }                                                                                \
  void ALZ::resize(int nv, int ns, int nc, int nl, float dz, float dx, float dy) { \
    img.resize(nv, ns, nl, nc);                                                    \
    default_header(*this, nv, ns, nc, nl, dz, dx, dy);                             \
  }                                                                                \
  VISTELMO_DEFINE_ALZ_FILES(ALZ)

VISTELMO_DEFINE_ALZ_SIZED(ALZFLT)
VISTELMO_DEFINE_ALZ_SIZED(ALZSHT)
VISTELMO_DEFINE_ALZ_FILES(ALZGRY)

void CopyAlzHdr(AlzHdr& a, const AlzHdr& b) { std::memcpy(&a, &b, sizeof a); }

void LeAlzHdr(AlzHdr& h, const std::string& name) {
  vistelmo::StdioFile f(name, "rb", "Erro LeAlzHdr - Abertura de ",
                        "Erro LeAlzHdr - Faltou memoria setvbuf");
  f.read(&h, 1, sizeof h);
}

void ShowAlzHdr(const AlzHdr& h) {
  std::printf("sizeof_hdr: %d\n", h.sizeof_hdr);
  std::printf("extents   : %d\n", h.extents);
  std::printf("regular:    %c\n", h.regular);
  for (int i = 0; i <= 4; i++) std::printf("dim[%d]:     %d\n", i, h.dim[i]);
  std::printf("datatype    %d\n", h.datatype);
  std::printf("bitpix      %d\n", h.bitpix);
  for (int i = 0; i <= 4; i++) std::printf("pixdim[%d]:  %f\n", i, h.pixdim[i]);
  std::printf("vox_offset: %f\n", h.vox_offset);
  std::printf("funused1:   %f\n", h.funused1);
  std::printf("cal_max:    %f\n", h.cal_max);
  std::printf("cal_min:    %f\n", h.cal_min);
  std::printf("glmax:      %d\n", h.glmax);
  std::printf("glmin:      %d\n", h.glmin);
  std::printf("orient:     %d\n", static_cast<signed char>(h.orient));
  for (int i = 0; i < 5; i++) std::printf("origem[%d]:  %d\n", i, vistelmo::origem(h, i));
}

void ShowCompleteAlzHdr(const AlzHdr& h) {
  std::printf("sizeof_hdr:    %d\n", h.sizeof_hdr);
  std::printf("data_type:     ");
  vistelmo::put_chars(h.data_type, sizeof h.data_type);
  std::printf("db_name:       ");
  vistelmo::put_chars(h.db_name, sizeof h.db_name);
  std::printf("extents:       %d\n", h.extents);
  std::printf("session_error: %d\n", h.session_error);
  std::printf("regular:       %c\n", h.regular);
  std::printf("hkey_un0:      %c\n", h.hkey_un0);
  std::printf("----------\n");
  for (int i = 0; i < 8; i++) std::printf("dim[%d]:        %d\n", i, h.dim[i]);
  std::printf("datatype       %d\n", h.datatype);
  std::printf("bitpix         %d\n", h.bitpix);
  std::printf("dim_un0        %d\n", h.dim_un0);
  for (int i = 0; i < 8; i++) std::printf("pixdim[%d]:     %f\n", i, h.pixdim[i]);
  std::printf("vox_offset:    %f\n", h.vox_offset);
  std::printf("cal_max:       %f\n", h.cal_max);
  std::printf("cal_min:       %f\n", h.cal_min);
  std::printf("compressed:    %f\n", h.compressed);
  std::printf("glmax:         %d\n", h.glmax);
  std::printf("glmin:         %d\n", h.glmin);
  std::printf("--------------\n");
  std::printf("orient:     %d\n", static_cast<signed char>(h.orient));
  for (int i = 0; i < 5; i++) std::printf("origem[%d]:  %d\n", i, vistelmo::origem(h, i));
}
