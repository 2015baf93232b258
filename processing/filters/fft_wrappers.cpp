// Vector and image wrappers of the Quorvan transforms.
#include "processing/filters/fft_wrappers.h"

#include <algorithm>
#include <vector>

#include "foundation/erro.h"
#include "images/image_core_internal.h"
#include "processing/filters/fft.h"
#include "processing/filters/fft_engine_internal.h"
#include "processing/filters/fft_lines_internal.h"

namespace {

using Quorvan::COMPLEX;

static_assert(sizeof(CPXD) == sizeof(COMPLEX), "CPXD and COMPLEX share one layout");

COMPLEX* as_complex(VETOR<CPXD>& v) { return reinterpret_cast<COMPLEX*>(v.data); }

// x mod m for any sign of x, m > 0.
inline int wrap(int64_t x, int m) {
  const int64_t r = x % m;
  return static_cast<int>(r < 0 ? r + m : r);
}

// An nl by nc image with out(i, j) = a((i + dl) mod a.nl, (j + dc) mod a.nc); outside value 0,
// centre (lc, cc).
template <class Img>
Img rotate(const Img& a, int nl, int nc, int dl, int dc, int lc, int cc) {
  Img r(nl, nc);
  if (a.data != nullptr && r.data != nullptr) {
    for (int i = 0; i < nl; i++) {
      const typename Img::Pixel* src = a.rows[wrap(static_cast<int64_t>(i) + dl, a.nl())];
      typename Img::Pixel* dst = r.rows[i];
      for (int j = 0; j < nc; j++) dst[j] = src[wrap(static_cast<int64_t>(j) + dc, a.nc())];
    }
  }
  r.lc = lc;
  r.cc = cc;
  return r;
}

VETOR<CPXD> rotate(const VETOR<CPXD>& a, int n, int d) {
  VETOR<CPXD> r(n);
  if (a.data != nullptr)
    for (int i = 0; i < n; i++) r.data[i] = a.data[wrap(static_cast<int64_t>(i) + d, a.n())];
  return r;
}

// Copies the top-left block that dst and src share.
void copy_top_left(const IMGCPX& src, IMGCPX& dst) {
  if (src.data == nullptr || dst.data == nullptr) return;
  const int nl = std::min(src.nl(), dst.nl()), nc = std::min(src.nc(), dst.nc());
  for (int l = 0; l < nl; l++) std::copy(src.rows[l], src.rows[l] + nc, dst.rows[l]);
}

// The first n elements of a, zero-padded at the end.
VETOR<CPXD> padded(const VETOR<CPXD>& a, int n) {
  VETOR<CPXD> p(n);
  if (a.data != nullptr)
    for (int i = 0; i < std::min(n, a.n()); i++) p.data[i] = a.data[i];
  return p;
}

using vistelmo::fft_engine::Line;
typedef Line (*LineOf)(int);

// One line of n elements from src into dst (distinct): conjugated around the positive-exponent
// transform when forward, divided by the line's divisor unless it is 1.
void transform_line(COMPLEX* src, int n, COMPLEX* dst, const Line& line) {
  if (line.forward)
    for (int i = 0; i < n; i++) src[i].im = -src[i].im;
  vistelmo::fft_engine::dft(src, n, dst);
  for (int i = 0; i < n; i++)
    dst[i] = vistelmo::fft_engine::finish(dst[i], line.forward, line.divisor);
}

// Transforms the vector a (consumed as work space) into a fresh vector; the table is left
// built for its length, as the Quorvan routine of the same kind leaves it.
VETOR<CPXD> transform(VETOR<CPXD>& a, LineOf kind) {
  const int n = a.n();
  Quorvan::W_init(n);
  VETOR<CPXD> r(n);
  if (n > 0) transform_line(as_complex(a), n, as_complex(r), kind(n));
  return r;
}

using vistelmo::fft_engine::kLineBlock;
using vistelmo::fft_engine::transform_lines;

// store for transform_lines into the float pixel write(b, e).
template <class Write>
auto to_float(Write write) {
  return [write](int b, int e, double re, double im) {
    write(b, e) = {static_cast<float>(re), static_cast<float>(im)};
  };
}

// The rows of a, zero-padded or cut to the size of r, transformed into r; then the columns of r
// in place. Each line is rounded back to float; kLineBlock lines at a time. Rows of zeros (the
// padding of a correlation) transform to zeros.
void rows_then_columns(const IMGCPX& a, IMGCPX& r, LineOf kind) {
  const int nl = r.nl(), nc = r.nc();
  if (r.data == nullptr) {
    // Rows (or columns) of no pixels are still transformed: at length 0, which empties the table.
    if (nl > 0 || nc > 0) Quorvan::W_init(0);
    return;
  }
  std::vector<COMPLEX> in((kLineBlock + 1) * static_cast<size_t>(std::max(nl, nc))), out(in.size());
  const std::complex<float> zero(0, 0);
  const int al = a.data == nullptr ? 0 : std::min(a.nl(), nl), ac = std::min(a.nc(), nc);
  Quorvan::W_init(nc);
  const Line row_line = kind(nc);
  for (int i0 = 0; i0 < nl; i0 += kLineBlock) {
    const int nb = std::min(kLineBlock, nl - i0);
    bool zeros = true;
    for (int i = i0; i < std::min(i0 + nb, al) && zeros; i++)
      for (int j = 0; j < ac; j++) zeros = zeros && a.rows[i][j] == zero;
    if (zeros) {
      for (int i = i0; i < i0 + nb; i++) std::fill(r.rows[i], r.rows[i] + nc, zero);
      continue;
    }
    transform_lines(
        nc, nb,
        [&a, i0, al, ac, &zero](int b, int e) {
          return i0 + b < al && e < ac ? a.rows[i0 + b][e] : zero;
        },
        to_float([&r, i0](int b, int e) -> std::complex<float>& { return r.rows[i0 + b][e]; }),
        row_line, in, out);
  }
  Quorvan::W_init(nl);
  const Line column_line = kind(nl);
  for (int j0 = 0; j0 < nc; j0 += kLineBlock) {
    auto pixel = [&r, j0](int b, int e) -> std::complex<float>& { return r.rows[e][j0 + b]; };
    transform_lines(nl, std::min(kLineBlock, nc - j0), pixel, to_float(pixel), column_line, in,
                    out);
  }
}

// The transform of a at size nl by nc: a's centre and outside value when that is its own size.
IMGCPX transformed(const IMGCPX& a, int nl, int nc, LineOf kind) {
  IMGCPX r(nl, nc);
  if (nl == a.nl() && nc == a.nc()) {
    vistelmo::take_frame(r, a);
  }
  rows_then_columns(a, r, kind);
  return r;
}

}  // namespace

namespace {

template <class Img>
Img shift_forward(const Img& a) {
  const int nl = a.nl(), nc = a.nc();
  return rotate(a, nl, nc, nl - nl / 2, nc - nc / 2, nl / 2, nc / 2);
}

template <class Img>
Img shift_back(const Img& a) {
  return rotate(a, a.nl(), a.nc(), a.nl() / 2, a.nc() / 2, 0, 0);
}

}  // namespace

IMGFLT fftshift(const IMGFLT& a) { return shift_forward(a); }
IMGCPX fftshift(const IMGCPX& a) { return shift_forward(a); }
IMGFLT ifftshift(const IMGFLT& a) { return shift_back(a); }
IMGCPX ifftshift(const IMGCPX& a) { return shift_back(a); }
VETOR<CPXD> fftshift(const VETOR<CPXD>& a) { return rotate(a, a.n(), a.n() - a.n() / 2); }
VETOR<CPXD> ifftshift(const VETOR<CPXD>& a) { return rotate(a, a.n(), a.n() / 2); }

IMGCPX fftpad(const IMGCPX& a, int nl, int nc) {
  IMGCPX r(nl, nc);
  copy_top_left(a, r);
  return r;
}

IMGCPX xcorrshift(const IMGCPX& a, int nl1, int nc1, int nl2, int nc2) {
  if (a.nl() < nl1 + nl2 - 1 || a.nc() < nc1 + nc2 - 1)
    erro("Erro xcorrshift: a.nl()<nl1+nl2-1 || a.nc()<nc1+nc2-1", "");
  const int nl = nl1 + nl2 - 1, nc = nc1 + nc2 - 1;
  return rotate(a, nl, nc, a.nl() - nl2 + 1, a.nc() - nc2 + 1, (nl - 1) / 2, (nc - 1) / 2);
}

VETOR<CPXD> xcorrshift(const VETOR<CPXD>& a, int n1, int n2) {
  if (a.n() < n1 + n2 - 1) erro("Erro xcorrshift: a.n()<n1+n2-1", "");
  return rotate(a, n1 + n2 - 1, a.n() - n2 + 1);
}

VETOR<CPXD> fft(VETOR<CPXD> a, int n) {
  if (n > 0 && n != a.n()) a = padded(a, n);
  return transform(a, vistelmo::fft_engine::fft_line);
}
VETOR<CPXD> ifft(VETOR<CPXD> a) { return transform(a, vistelmo::fft_engine::ifft_line); }
VETOR<CPXD> nfft(VETOR<CPXD> a) { return transform(a, vistelmo::fft_engine::nfft_line); }
VETOR<CPXD> infft(VETOR<CPXD> a) { return transform(a, vistelmo::fft_engine::infft_line); }

IMGCPX fft(const IMGCPX& a, int nl, int nc) {
  if (nl < 1 || nc < 1) nl = a.nl(), nc = a.nc();
  return transformed(a, nl, nc, vistelmo::fft_engine::fft_line);
}
IMGCPX ifft(const IMGCPX& a) {
  return transformed(a, a.nl(), a.nc(), vistelmo::fft_engine::ifft_line);
}
IMGCPX nfft(const IMGCPX& a) {
  return transformed(a, a.nl(), a.nc(), vistelmo::fft_engine::nfft_line);
}
IMGCPX infft(const IMGCPX& a) {
  return transformed(a, a.nl(), a.nc(), vistelmo::fft_engine::infft_line);
}
