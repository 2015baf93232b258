// Rotation, zoom, pyramid, turns, flips, canvas and cut-outs against OpenCV, one thread each.
// 2048 x 2048 grey unless the label says otherwise (BENCH_SIZE scales every side).
//
// Our grids are centred on the images' centres (lc, cc) and differ from resize's by design: the
// peer of rotation and enlargement is warpAffine with the affine map of our own grid (inverse
// map: destination pixel to source position), so results agree within a grey level.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>

#include "bench/cmp_common.h"
#include "bench/cmp_cv.h"
#include "vistelmo.h"

using namespace cmp;

namespace {

auto same() {
  return [](const auto& ours, const cv::Mat& peer) { return describe(compare(view(ours), peer)); };
}
auto other_grid() {
  return [](const auto& ours, const cv::Mat& peer) {
    return describe(compare(view(ours), peer), "other grid: ");
  };
}

// Destination (l, c) of b takes the source position of a: offsets x = c - b.cc, y = b.lc - l,
// zoomed by 1/f and rotated back by the angle, then row a.lc - ys, column xs + a.cc.
template <class A, class B>
cv::Mat grid_map(const A& a, const B& b, double degrees, double f) {
  double th = degrees * 2 * M_PI / 360, C = std::cos(th) / f, S = std::sin(th) / f;
  return (cv::Mat_<double>(2, 3) << C, -S, a.cc - C * b.cc + S * b.lc,  //
          S, C, a.lc - S * b.cc - C * b.lc);
}

template <class Img>
cv::Mat warp(const Img& a, const cv::Mat& map, cv::Size size, int interp, int border) {
  cv::Mat r;
  cv::warpAffine(view(a), r, map, size, interp | cv::WARP_INVERSE_MAP, border, cv::Scalar::all(0));
  return r;
}

void rotations(const IMGGRY& a, const IMGFLT& f, const IMGCPX& z, const IMGCOR& rgb) {
  cv::Size size(a.nc, a.nl);
  cv::Mat m = grid_map(a, a, 30, 1);
  row(
      "rotacao IMGGRY 30 'b','m','C' vs warpAffine LINEAR", 1.5,
      [&] { return rotacao(a, 30, 'b', 'm', 'C'); },
      [&] { return warp(a, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
  row(
      "rotacao IMGGRY 30 'b','m','X' vs warpAffine LINEAR replicate", 1.5,
      [&] { return rotacao(a, 30, 'b', 'm', 'X'); },
      [&] { return warp(a, m, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE); }, same());
  row(
      "rotacao IMGGRY 30 'n','m','C' vs warpAffine NEAREST", 1.5,
      [&] { return rotacao(a, 30, 'n', 'm', 'C'); },
      [&] { return warp(a, m, size, cv::INTER_NEAREST, cv::BORDER_CONSTANT); }, same());
  row(
      "rotacao IMGFLT 30 'b','m' vs warpAffine LINEAR", 1.5,
      [&] { return rotacao(f, 30, 'b', 'm'); },
      [&] { return warp(f, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
  row(
      "rotacao IMGFLT 30 'n','m' vs warpAffine NEAREST", 1.5,
      [&] { return rotacao(f, 30, 'n', 'm'); },
      [&] { return warp(f, m, size, cv::INTER_NEAREST, cv::BORDER_CONSTANT); }, same());
  row(
      "rotacao IMGCPX 30 'b','m' vs warpAffine LINEAR 32FC2", 1.5,
      [&] { return rotacao(z, 30, 'b', 'm'); },
      [&] { return warp(z, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
  {
    IMGGRY shape(a.nl, a.nc);
    cv::Mat mz = grid_map(a, shape, 30, 1.5);
    row(
        "rotzoom IMGGRY 30 x1.5 'X' vs warpAffine LINEAR replicate", 1.5,
        [&] {
          IMGGRY b(a.nl, a.nc);
          rotzoom(a, b, 30, 1.5, 'X');
          return b;
        },
        [&] { return warp(a, mz, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE); }, same());
    row(
        "rotzoom IMGCOR 30 x1.5 'X' vs warpAffine LINEAR replicate 8UC3", 1.5,
        [&] {
          IMGCOR b(rgb.nl, rgb.nc);
          rotzoom(rgb, b, 30, 1.5, 'X');
          return b;
        },
        [&] { return warp(rgb, mz, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE); }, same());
    row(
        "rotzoom IMGFLT 30 x1.5 'X' vs warpAffine LINEAR replicate", 1.5,
        [&] {
          IMGFLT b(f.nl, f.nc);
          rotzoom(f, b, 30, 1.5, 'X');
          return b;
        },
        [&] { return warp(f, mz, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE); }, same());
  }
}

void zooms(const IMGGRY& a, const IMGFLT& f, const IMGCOR& rgb) {
  int n2 = 2 * a.nl, m2 = 2 * a.nc, nh = a.nl / 2, mh = a.nc / 2;
  {
    // Two passes with a rounded intermediate: within one grey level of warpAffine.
    IMGGRY shape(n2, m2);
    cv::Mat m = grid_map(a, shape, 0, 2);
    row(
        "zoomfat IMGGRY x2 'X' vs warpAffine LINEAR replicate", 1.5,
        [&] {
          IMGGRY b(n2, m2);
          zoomfat(a, b, 2, 2, 'X');
          return b;
        },
        [&] { return warp(a, m, cv::Size(m2, n2), cv::INTER_LINEAR, cv::BORDER_REPLICATE); },
        same());
  }
  {
    // A factor that is not an integer.
    int n15 = a.nl * 3 / 2, m15 = a.nc * 3 / 2;
    IMGGRY shape(n15, m15);
    cv::Mat m = grid_map(a, shape, 0, 1.5);
    row(
        "zoomfat IMGGRY x1.5 'X' vs warpAffine LINEAR replicate", 1.5,
        [&] {
          IMGGRY b(n15, m15);
          zoomfat(a, b, 1.5, 1.5, 'X');
          return b;
        },
        [&] { return warp(a, m, cv::Size(m15, n15), cv::INTER_LINEAR, cv::BORDER_REPLICATE); },
        same());
  }
  auto area = [](const auto& src, int nl, int nc) {
    cv::Mat r;
    cv::resize(view(src), r, cv::Size(nc, nl), 0, 0, cv::INTER_AREA);
    return r;
  };
  row(
      "zoomfat IMGGRY x0.5 vs resize AREA", 1.5,
      [&] {
        IMGGRY b(nh, mh);
        zoomfat(a, b, 0.5, 0.5, 'X');
        return b;
      },
      [&] { return area(a, nh, mh); }, other_grid());
  {
    // Aligned at the first row and column: source position = destination / factor.
    cv::Mat m = (cv::Mat_<double>(2, 3) << 0.5, 0, 0, 0, 0.5, 0);
    row(
        "zoomnp IMGGRY x2 vs warpAffine LINEAR replicate", 1.5, [&] { return zoomnp(a, n2, m2); },
        [&] { return warp(a, m, cv::Size(m2, n2), cv::INTER_LINEAR, cv::BORDER_REPLICATE); },
        same());
    row(
        "zoomnp IMGFLT x2 vs warpAffine LINEAR replicate", 1.5, [&] { return zoomnp(f, n2, m2); },
        [&] { return warp(f, m, cv::Size(m2, n2), cv::INTER_LINEAR, cv::BORDER_REPLICATE); },
        same());
  }
  {
    IMGCOR shape(n2, m2);
    cv::Mat m = grid_map(rgb, shape, 0, 2);
    row(
        "zoomfat IMGCOR x2 'X' vs warpAffine LINEAR replicate 8UC3", 1.5,
        [&] {
          IMGCOR b(n2, m2);
          zoomfat(rgb, b, 2, 2, 'X');
          return b;
        },
        [&] { return warp(rgb, m, cv::Size(m2, n2), cv::INTER_LINEAR, cv::BORDER_REPLICATE); },
        same());
  }
  row(
      "zoomnp IMGGRY x0.5 vs resize AREA", 1.5, [&] { return zoomnp(a, nh, mh); },
      [&] { return area(a, nh, mh); }, other_grid());
  row(
      "zoomfat IMGFLT x0.5 vs resize AREA", 1.5, [&] { return zoomfat(f, 0.5, 0.5); },
      [&] { return area(f, nh, mh); }, other_grid());
}

void pyramids(const IMGGRY& a) {
  const int rmin = 16, cmin = 16;
  auto ours = [&](char modo) {
    return [&a, modo] {
      VETOR<IMGGRY> v;
      piramide(a, v, rmin, cmin, modo);
      return v;
    };
  };
  // Levels while the next one keeps at least rmin x cmin (sides here are powers of two).
  auto chain = [&](bool smooth) {
    std::vector<cv::Mat> v{view(a).clone()};
    while (v.back().rows / 2 >= rmin && v.back().cols / 2 >= cmin) {
      cv::Mat s, d;
      if (smooth)
        cv::blur(v.back(), s, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REPLICATE);
      else
        s = v.back();
      cv::resize(s, d, cv::Size(s.cols / 2, s.rows / 2), 0, 0, cv::INTER_NEAREST);  // even pixels
      v.push_back(d);
    }
    return v;
  };
  auto check = [](const VETOR<IMGGRY>& o, const std::vector<cv::Mat>& p) {
    if (o.n != static_cast<int>(p.size()))
      return fmt("levels ours %g, peer %g", o.n, static_cast<double>(p.size()));
    return describe(compare(view(o.data[1]), p[1], 1), "level 1 interior: ");
  };
  row(
      "piramide 'm' vs per level blur 3x3 + NEAREST halving", 1.5, ours('m'),
      [&] { return chain(true); }, check);
  row(
      "piramide 'n' vs per level NEAREST halving", 1.5, ours('n'), [&] { return chain(false); },
      check);
  row(
      "piramide 'm' vs pyrDown per level (5x5 Gaussian)", 1.5, ours('m'),
      [&] {
        std::vector<cv::Mat> v{view(a).clone()};
        while (v.back().rows / 2 >= rmin && v.back().cols / 2 >= cmin) {
          cv::Mat d;
          cv::pyrDown(v.back(), d);
          v.push_back(d);
        }
        return v;
      },
      [](const VETOR<IMGGRY>& o, const std::vector<cv::Mat>& p) {
        return fmt("levels ours %g, peer %g (other filter)", o.n, static_cast<double>(p.size()));
      });
}

void turns(const IMGGRY& a, const IMGFLT& f) {
  auto rot = [](const auto& img, int code) {
    return [&img, code] {
      cv::Mat r;
      cv::rotate(view(img), r, code);
      return r;
    };
  };
  row(
      "rot90 IMGGRY vs rotate 90 counterclockwise", 1.2, [&] { return rot90(a); },
      rot(a, cv::ROTATE_90_COUNTERCLOCKWISE), same());
  row(
      "rot180 IMGGRY vs rotate 180", 1.2, [&] { return rot180(a); }, rot(a, cv::ROTATE_180),
      same());
  row(
      "rot270 IMGGRY vs rotate 90 clockwise", 1.2, [&] { return rot270(a); },
      rot(a, cv::ROTATE_90_CLOCKWISE), same());
  row(
      "rot90 IMGFLT vs rotate 90 counterclockwise", 1.2, [&] { return rot90(f); },
      rot(f, cv::ROTATE_90_COUNTERCLOCKWISE), same());
  row(
      "virah IMGGRY vs flip upside down", 1.2, [&] { return virah(a); },
      [&] {
        cv::Mat r;
        cv::flip(view(a), r, 0);
        return r;
      },
      same());
  int b = a.nl / 8;
  row(
      fmt("aumcanvas IMGGRY +%g each side vs copyMakeBorder", b), 1.2,
      [&] { return aumcanvas(a, a.nl + 2 * b, a.nc + 2 * b, static_cast<unsigned char>(7)); },
      [&] {
        cv::Mat r;
        cv::copyMakeBorder(view(a), r, b, b, b, b, cv::BORDER_CONSTANT, cv::Scalar(7));
        return r;
      },
      same());
  row(
      fmt("aumcanvas IMGFLT +%g each side vs copyMakeBorder", b), 1.2,
      [&] { return aumcanvas(f, f.nl + 2 * b, f.nc + 2 * b, 0.25f); },
      [&] {
        cv::Mat r;
        cv::copyMakeBorder(view(f), r, b, b, b, b, cv::BORDER_CONSTANT, cv::Scalar(0.25));
        return r;
      },
      same());
  int q = a.nl / 4, h = a.nl / 2;
  row(
      fmt("subim IMGGRY 'u' %gx%g vs ROI clone", h, h), 1.2,
      [&] { return subim(a, q, q, h, h, 'u'); },
      [&] { return view(a)(cv::Rect(q, q, h, h)).clone(); }, same());
}

}  // namespace

int main() {
  cv::setNumThreads(1);
  int n = base_size();
  std::printf("geometry: %dx%d grey / IMGFLT, one thread each\n", n, n);
  IMGGRY a = grey_image(n, n);
  IMGFLT f = float_image(n, n);
  IMGCPX z(f, float_image(n, n, 5));
  IMGCOR rgb(n, n);
  {
    IMGGRY g = grey_image(n, n, 2), b = grey_image(n, n, 3);
    for (int i = 0; i < n * n; i++) rgb.data[i] = COR{a.data[i], g.data[i], b.data[i]};
  }
  rotations(a, f, z, rgb);
  zooms(a, f, rgb);
  pyramids(a);
  turns(a, f);
  return 0;
}
