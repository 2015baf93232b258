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
// same() where the grids agree, other_grid() where they do not.
auto checked(bool same_grid) {
  return [same_grid](const auto& ours, const cv::Mat& peer) {
    return describe(compare(view(ours), peer), same_grid ? "" : "other grid: ");
  };
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

// a turned 30 degrees and zoomed by fz into an image of its size, border 'X' (replicate) or
// 'C' (outside value, constant 0).
template <class Img>
void rotzoom_row(const Img& a, const char* type, double fz, char borda) {
  Img shape(a.nl, a.nc);
  cv::Mat m = grid_map(a, shape, 30, fz);
  bool x = borda == 'X';
  std::string label = std::string("rotzoom ") + type + fmt(" 30 x%g '", fz) + borda +
                      "' vs warpAffine LINEAR " + (x ? "replicate" : "constant") +
                      (std::is_same_v<Img, IMGCOR> ? " 8UC3" : "");
  row(
      label, 1.5,
      [&] {
        Img b(a.nl, a.nc);
        rotzoom(a, b, 30, fz, borda);
        return b;
      },
      [&] {
        return warp(a, m, cv::Size(a.nc, a.nl), cv::INTER_LINEAR,
                    x ? cv::BORDER_REPLICATE : cv::BORDER_CONSTANT);
      },
      checked(fz >= 1));
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
  rotzoom_row(a, "IMGGRY", 1.5, 'X');
  rotzoom_row(rgb, "IMGCOR", 1.5, 'X');
  rotzoom_row(f, "IMGFLT", 1.5, 'X');
}

// Variants of the rotation family: other frames, interpolations, borders, angles and types.
void more_rotations(const IMGGRY& a, const IMGFLT& f, const IMGCPX& z, const IMGCOR& rgb) {
  cv::Size size(a.nc, a.nl);
  cv::Mat m = grid_map(a, a, 30, 1);
  row(
      "rotacao IMGGRY 30 'n','m','X' vs warpAffine NEAREST replicate", 1.5,
      [&] { return rotacao(a, 30, 'n', 'm', 'X'); },
      [&] { return warp(a, m, size, cv::INTER_NEAREST, cv::BORDER_REPLICATE); }, same());
  for (double deg : {7.0, 90.0, 135.0}) {
    cv::Mat md = grid_map(a, a, deg, 1);
    row(
        fmt("rotacao IMGGRY %g 'b','m','C' vs warpAffine LINEAR", deg), 1.5,
        [&] { return rotacao(a, deg, 'b', 'm', 'C'); },
        [&] { return warp(a, md, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
  }
  {
    // Bounding frame: the peer maps onto our frame (its size and centre).
    IMGGRY shape = rotacao(a, 30, 'b', 'a', 'C');
    cv::Mat ma = grid_map(a, shape, 30, 1);
    cv::Size sa(shape.nc, shape.nl);
    row(
        "rotacao IMGGRY 30 'b','a','C' vs warpAffine LINEAR bounding frame", 1.5,
        [&] { return rotacao(a, 30, 'b', 'a', 'C'); },
        [&] { return warp(a, ma, sa, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
    row(
        "rotacao IMGGRY 30 'n','a','X' vs warpAffine NEAREST replicate bounding frame", 1.5,
        [&] { return rotacao(a, 30, 'n', 'a', 'X'); },
        [&] { return warp(a, ma, sa, cv::INTER_NEAREST, cv::BORDER_REPLICATE); }, same());
    IMGFLT fshape = rotacao(f, 30, 'b', 'a');
    cv::Mat mf = grid_map(f, fshape, 30, 1);
    cv::Size sf(fshape.nc, fshape.nl);
    row(
        "rotacao IMGFLT 30 'b','a' vs warpAffine LINEAR bounding frame", 1.5,
        [&] { return rotacao(f, 30, 'b', 'a'); },
        [&] { return warp(f, mf, sf, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }, same());
    row(
        "rotacao IMGCPX 30 'n','a' vs warpAffine NEAREST 32FC2 bounding frame", 1.5,
        [&] { return rotacao(z, 30, 'n', 'a'); },
        [&] { return warp(z, mf, sf, cv::INTER_NEAREST, cv::BORDER_CONSTANT); }, same());
  }
  {
    IMGFLT fshape = rotacao(f, 30, 'n', 'a');
    cv::Mat mf = grid_map(f, fshape, 30, 1);
    row(
        "rotacao IMGFLT 30 'n','a' vs warpAffine NEAREST bounding frame", 1.5,
        [&] { return rotacao(f, 30, 'n', 'a'); },
        [&] {
          return warp(f, mf, cv::Size(fshape.nc, fshape.nl), cv::INTER_NEAREST,
                      cv::BORDER_CONSTANT);
        },
        same());
  }
  row(
      "rotacao IMGCPX 30 'n','m' vs warpAffine NEAREST 32FC2", 1.5,
      [&] { return rotacao(z, 30, 'n', 'm'); },
      [&] { return warp(z, m, size, cv::INTER_NEAREST, cv::BORDER_CONSTANT); }, same());
  row(
      "rotacao IMGFLT 7 'b','m' vs warpAffine LINEAR", 1.5, [&] { return rotacao(f, 7, 'b', 'm'); },
      [&] { return warp(f, grid_map(f, f, 7, 1), size, cv::INTER_LINEAR, cv::BORDER_CONSTANT); },
      same());
  // Rotation-zoom: outside value, factors 1 and below 1 (the source shrunk first), above 1.
  for (double fz : {1.0, 0.7, 0.37, 3.0}) rotzoom_row(a, "IMGGRY", fz, 'X');
  for (double fz : {1.0, 0.7, 3.0}) {
    rotzoom_row(rgb, "IMGCOR", fz, 'X');
    rotzoom_row(f, "IMGFLT", fz, 'X');
  }
  rotzoom_row(a, "IMGGRY", 1.5, 'C');
  rotzoom_row(rgb, "IMGCOR", 1.5, 'C');
  rotzoom_row(f, "IMGFLT", 1.5, 'C');
}

// Variants of the zoom family: other factors (integer, not integer, unequal), outside value,
// other types, and reductions by factors that do not divide the size.
void more_zooms(const IMGGRY& a, const IMGFLT& f, const IMGCOR& rgb) {
  auto up = [&](const auto& src, auto shape, double fx, double fy, int border) {
    cv::Mat m = (cv::Mat_<double>(2, 3) << 1 / fx, 0, src.cc - shape.cc / fx,  //
                 0, 1 / fy, src.lc - shape.lc / fy);
    return warp(src, m, cv::Size(shape.nc, shape.nl), cv::INTER_LINEAR, border);
  };
  struct Up {
    double fx, fy;
    char borda;
  };
  // zoomfat of src by (fx, fy) into a fresh image of the zoomed size.
  auto zoom_up = [&](const auto& src, const char* type, const char* suffix, Up u) {
    using Img = std::decay_t<decltype(src)>;
    int nl = static_cast<int>(src.nl * u.fy), nc = static_cast<int>(src.nc * u.fx);
    Img shape(nl, nc);
    int border = u.borda == 'X' ? cv::BORDER_REPLICATE : cv::BORDER_CONSTANT;
    row(
        std::string("zoomfat ") + type + fmt(" x%g,x%g '", u.fx, u.fy) + u.borda +
            "' vs warpAffine LINEAR" + suffix,
        1.5,
        [&] {
          Img b(nl, nc);
          zoomfat(src, b, u.fx, u.fy, u.borda);
          return b;
        },
        [&] { return up(src, shape, u.fx, u.fy, border); }, same());
  };
  for (Up u : {Up{3, 3, 'X'}, Up{2.5, 2.5, 'X'}, Up{1.5, 1.5, 'C'}, Up{2, 2, 'C'}, Up{2, 1, 'X'},
               Up{1, 2, 'X'}, Up{1.1, 1.1, 'X'}})
    zoom_up(a, "IMGGRY", "", u);
  for (Up u : {Up{1.5, 1.5, 'X'}, Up{3, 3, 'X'}, Up{2, 2, 'C'}}) zoom_up(rgb, "IMGCOR", " 8UC3", u);
  // Aligned at the first row and column (zoomnp) and the float zoomfat (round(n f) sides).
  auto aligned = [](const auto& src, int nl, int nc) {
    cv::Mat m = (cv::Mat_<double>(2, 3) << static_cast<double>(src.nc) / nc, 0, 0, 0,
                 static_cast<double>(src.nl) / nl, 0);
    return warp(src, m, cv::Size(nc, nl), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  };
  for (double fz : {1.5, 3.0}) {
    int nl = static_cast<int>(a.nl * fz), nc = static_cast<int>(a.nc * fz);
    row(
        fmt("zoomnp IMGGRY x%g vs warpAffine LINEAR replicate", fz), 1.5,
        [&] { return zoomnp(a, nl, nc); }, [&] { return aligned(a, nl, nc); }, other_grid());
    row(
        fmt("zoomnp IMGFLT x%g vs warpAffine LINEAR replicate", fz), 1.5,
        [&] { return zoomnp(f, nl, nc); }, [&] { return aligned(f, nl, nc); }, other_grid());
    row(
        fmt("zoomnp IMGCOR x%g vs warpAffine LINEAR replicate 8UC3", fz), 1.5,
        [&] { return zoomnp(rgb, nl, nc); }, [&] { return aligned(rgb, nl, nc); }, other_grid());
    row(
        fmt("zoomfat IMGFLT (float) x%g vs warpAffine LINEAR replicate", fz), 1.5,
        [&] { return zoomfat(f, fz, fz); }, [&] { return aligned(f, nl, nc); }, other_grid());
  }
  row(
      "zoomnp IMGCOR x2 vs warpAffine LINEAR replicate 8UC3", 1.5,
      [&] { return zoomnp(rgb, 2 * a.nl, 2 * a.nc); },
      [&] { return aligned(rgb, 2 * a.nl, 2 * a.nc); }, other_grid());
  auto area = [](const auto& src, int nl, int nc) {
    cv::Mat r;
    cv::resize(view(src), r, cv::Size(nc, nl), 0, 0, cv::INTER_AREA);
    return r;
  };
  for (double fz : {1.0 / 3, 0.37, 0.75, 0.25}) {
    int nl = static_cast<int>(std::lround(a.nl * fz)),
        nc = static_cast<int>(std::lround(a.nc * fz));
    row(
        fmt("zoomfat IMGGRY x%.3g vs resize AREA", fz), 1.5,
        [&] {
          IMGGRY b(nl, nc);
          zoomfat(a, b, fz, fz, 'X');
          return b;
        },
        [&] { return area(a, nl, nc); }, other_grid());
    row(
        fmt("zoomnp IMGGRY x%.3g vs resize AREA", fz), 1.5, [&] { return zoomnp(a, nl, nc); },
        [&] { return area(a, nl, nc); }, other_grid());
    row(
        fmt("zoomfat IMGFLT x%.3g vs resize AREA", fz), 1.5, [&] { return zoomfat(f, fz, fz); },
        [&] { return area(f, nl, nc); }, other_grid());
    row(
        fmt("zoomnp IMGFLT x%.3g vs resize AREA", fz), 1.5, [&] { return zoomnp(f, nl, nc); },
        [&] { return area(f, nl, nc); }, other_grid());
    row(
        fmt("zoomnp IMGCOR x%.3g vs resize AREA 8UC3", fz), 1.5,
        [&] { return zoomnp(rgb, nl, nc); }, [&] { return area(rgb, nl, nc); }, other_grid());
    row(
        fmt("zoomfat IMGCOR x%.3g vs resize AREA 8UC3", fz), 1.5,
        [&] {
          IMGCOR b(nl, nc);
          zoomfat(rgb, b, fz, fz, 'X');
          return b;
        },
        [&] { return area(rgb, nl, nc); }, other_grid());
  }
  {
    int nh = a.nl / 2, mh = a.nc / 2;
    row(
        "zoomnp IMGCOR x0.5 vs resize AREA 8UC3", 1.5, [&] { return zoomnp(rgb, nh, mh); },
        [&] { return area(rgb, nh, mh); }, other_grid());
    row(
        "zoomfat IMGCOR x0.5 vs resize AREA 8UC3", 1.5,
        [&] {
          IMGCOR b(nh, mh);
          zoomfat(rgb, b, 0.5, 0.5, 'X');
          return b;
        },
        [&] { return area(rgb, nh, mh); }, other_grid());
    row(
        "zoomfat IMGGRY x0.5,x1 vs resize AREA", 1.5,
        [&] {
          IMGGRY b(a.nl, mh);
          zoomfat(a, b, 0.5, 1, 'X');
          return b;
        },
        [&] { return area(a, a.nl, mh); }, other_grid());
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

// OpenCV's rotate and flip of img, as peers.
template <class Img>
auto rot(const Img& img, int code) {
  return [&img, code] {
    cv::Mat r;
    cv::rotate(view(img), r, code);
    return r;
  };
}
template <class Img>
auto flip(const Img& img, int code) {
  return [&img, code] {
    cv::Mat r;
    cv::flip(view(img), r, code);
    return r;
  };
}

// The three quarter turns of img against rotate; suffix names the peer's pixel type.
template <class Img>
void three_turns(const Img& img, const char* type, const char* suffix) {
  std::string t = std::string(" ") + type + " vs rotate ";
  row(
      "rot90" + t + "90 counterclockwise" + suffix, 1.2, [&] { return rot90(img); },
      rot(img, cv::ROTATE_90_COUNTERCLOCKWISE), same());
  row(
      "rot180" + t + "180" + suffix, 1.2, [&] { return rot180(img); }, rot(img, cv::ROTATE_180),
      same());
  row(
      "rot270" + t + "90 clockwise" + suffix, 1.2, [&] { return rot270(img); },
      rot(img, cv::ROTATE_90_CLOCKWISE), same());
}

void turns(const IMGGRY& a, const IMGFLT& f) {
  three_turns(a, "IMGGRY", "");
  three_turns(f, "IMGFLT", "");
  row(
      "virah IMGGRY vs flip upside down", 1.2, [&] { return virah(a); }, flip(a, 0), same());
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

// Turns, flips, cut-outs and canvas for the other pixel types and modes.
void more_turns(const IMGGRY& a, const IMGFLT& f, const IMGCPX& z, const IMGCOR& rgb) {
  IMGSHT sh(a);
  three_turns(rgb, "IMGCOR", " 8UC3");
  three_turns(z, "IMGCPX", " 32FC2");
  row(
      "rot90 IMGSHT vs rotate 90 counterclockwise 16S", 1.2, [&] { return rot90(sh); },
      rot(sh, cv::ROTATE_90_COUNTERCLOCKWISE), same());
  row(
      "~ IMGCPX vs flip both axes 32FC2", 1.2, [&] { return ~z; }, flip(z, -1), same());
  row(
      "~ IMGGRY vs flip both axes", 1.2, [&] { return ~a; }, flip(a, -1), same());
  row(
      "~ IMGFLT vs flip both axes", 1.2, [&] { return ~f; }, flip(f, -1), same());
  row(
      "virah IMGSHT vs flip upside down 16S", 1.2, [&] { return virah(sh); }, flip(sh, 0), same());
  {
    // Binary images: 32 pixels to a word against OpenCV on 0/255 bytes (8 times the memory).
    IMGBIN b(a);
    cv::Mat bb = bytes(b);
    auto bin = [](const IMGBIN& ours, const cv::Mat& peer) {
      return describe(compare(bytes(ours), peer));
    };
    row(
        "rot90 IMGBIN vs rotate 90 counterclockwise on 0/255", 1.2, [&] { return rot90(b); },
        rot(bb, cv::ROTATE_90_COUNTERCLOCKWISE), bin);
    row(
        "rot180 IMGBIN vs rotate 180 on 0/255", 1.2, [&] { return rot180(b); },
        rot(bb, cv::ROTATE_180), bin);
    row(
        "virah IMGBIN vs flip upside down on 0/255", 1.2, [&] { return virah(b); }, flip(bb, 0),
        bin);
    int e = a.nl / 8;
    row(
        fmt("aumcanvas IMGBIN +%g each side vs copyMakeBorder on 0/255", e), 1.2,
        [&] { return aumcanvas(b, b.nl + 2 * e, b.nc + 2 * e, true); },
        [&] {
          cv::Mat r;
          cv::copyMakeBorder(bb, r, e, e, e, e, cv::BORDER_CONSTANT, cv::Scalar(255));
          return r;
        },
        bin);
  }
  int e = a.nl / 8;
  row(
      fmt("aumcanvas IMGCOR +%g each side vs copyMakeBorder 8UC3", e), 1.2,
      [&] {
        return aumcanvas(rgb, rgb.nl + 2 * e, rgb.nc + 2 * e, COR{7, 8, 9});
      },
      [&] {
        cv::Mat r;
        cv::copyMakeBorder(view(rgb), r, e, e, e, e, cv::BORDER_CONSTANT, cv::Scalar(7, 8, 9));
        return r;
      },
      same());
  row(
      "aumcanvas IMGGRY +3 columns vs copyMakeBorder", 1.2,
      [&] { return aumcanvas(a, a.nl, a.nc + 3, static_cast<unsigned char>(7)); },
      [&] {
        cv::Mat r;
        cv::copyMakeBorder(view(a), r, 0, 0, 1, 2, cv::BORDER_CONSTANT, cv::Scalar(7));
        return r;
      },
      same());
  int q = a.nl / 4, h = a.nl / 2;
  auto roi = [](const auto& img, int l, int c, int nl, int nc) {
    return [&img, l, c, nl, nc] { return view(img)(cv::Rect(c, l, nc, nl)).clone(); };
  };
  row(
      fmt("subim IMGGRY 'i' %gx%g vs ROI clone", h, h), 1.2,
      [&] { return subim(a, q, q, q + h - 1, q + h - 1, 'i'); }, roi(a, q, q, h, h), same());
  row(
      fmt("subim IMGGRY 'l' %gx%g vs ROI clone", h, h), 1.2,
      [&] { return subim(a, q + h - 1, q + h - 1, h, h, 'l'); }, roi(a, q, q, h, h), same());
  row(
      fmt("subim IMGGRY 'u' %gx%g odd start vs ROI clone", h - 3, h - 5), 1.2,
      [&] { return subim(a, q + 1, q + 3, h - 3, h - 5, 'u'); }, roi(a, q + 1, q + 3, h - 3, h - 5),
      same());
  row(
      fmt("subim IMGFLT 'u' %gx%g vs ROI clone", h, h), 1.2,
      [&] { return subim(f, q, q, h, h, 'u'); }, roi(f, q, q, h, h), same());
  row(
      fmt("subim IMGCOR 'u' %gx%g vs ROI clone 8UC3", h, h), 1.2,
      [&] { return subim(rgb, q, q, h, h, 'u'); }, roi(rgb, q, q, h, h), same());
  row(
      fmt("subim IMGFLT 'i' %gx%g vs ROI clone", h, h), 1.2,
      [&] { return subim(f, q, q, q + h - 1, q + h - 1, 'i'); }, roi(f, q, q, h, h), same());
  {
    // Half beyond the lower-right corner: ROI of the inside part, then a constant border.
    int s = a.nl - h / 2;
    row(
        fmt("subim IMGGRY 'u' %gx%g half outside vs ROI + copyMakeBorder", h, h), 1.2,
        [&] { return subim(a, s, s, h, h, 'u'); },
        [&] {
          cv::Mat r;
          cv::copyMakeBorder(view(a)(cv::Rect(s, s, h / 2, h / 2)), r, 0, h - h / 2, 0, h - h / 2,
                             cv::BORDER_CONSTANT, cv::Scalar(a.backg));
          return r;
        },
        same());
  }
  row(
      "grudah IMGGRY gap 4 vs Mat setTo + two ROI copies", 1.2,
      [&] { return grudah(a, a, 4, static_cast<unsigned char>(9)); },
      [&] {
        cv::Mat r(a.nl, 2 * a.nc + 4, CV_8U, cv::Scalar(9));
        view(a).copyTo(r(cv::Rect(0, 0, a.nc, a.nl)));
        view(a).copyTo(r(cv::Rect(a.nc + 4, 0, a.nc, a.nl)));
        return r;
      },
      same());
  row(
      "grudav IMGCOR gap 4 vs Mat setTo + two ROI copies 8UC3", 1.2,
      [&] {
        return grudav(rgb, rgb, 4, COR{9, 9, 9});
      },
      [&] {
        cv::Mat r(2 * rgb.nl + 4, rgb.nc, CV_8UC3, cv::Scalar(9, 9, 9));
        view(rgb).copyTo(r(cv::Rect(0, 0, rgb.nc, rgb.nl)));
        view(rgb).copyTo(r(cv::Rect(0, rgb.nl + 4, rgb.nc, rgb.nl)));
        return r;
      },
      same());
  {
    IMGGRY dst = a, small = subim(a, 0, 0, h, h, 'u');
    cv::Mat pd = view(a).clone();
    row(
        fmt("copia IMGGRY %gx%g into place vs ROI copyTo", h, h), 1.2,
        [&] {
          copia(dst, q + 1, q + 3, small);
          return dst.data[0];
        },
        [&] {
          view(small).copyTo(pd(cv::Rect(q + 3, q + 1, h, h)));
          return pd.data[0];
        },
        [](unsigned char, unsigned char) { return std::string("in place: no check"); });
  }
}

// Pyramid of an image whose sides are not powers of two (level 0 is a cut-out).
void more_pyramids(const IMGGRY& a) {
  IMGGRY odd = subim(a, 0, 0, a.nl - 37, a.nc - 101, 'u');
  const int rmin = 16, cmin = 16;
  auto chain = [&](bool smooth) {
    std::vector<cv::Mat> v{view(odd).clone()};
    while (v.back().rows / 2 >= rmin && v.back().cols / 2 >= cmin) {
      cv::Mat s, d;
      if (smooth)
        cv::blur(v.back(), s, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REPLICATE);
      else
        s = v.back();
      cv::resize(s, d, cv::Size(s.cols / 2, s.rows / 2), 0, 0, cv::INTER_NEAREST);
      v.push_back(d);
    }
    return v;
  };
  auto check = [](const VETOR<IMGGRY>& o, const std::vector<cv::Mat>& p) {
    return fmt("levels ours %g, peer %g (other sides)", o.n, static_cast<double>(p.size()));
  };
  for (char modo : {'m', 'n'})
    row(
        std::string("piramide '") + modo +
            fmt("' %gx%g vs per level (blur 3x3) + NEAREST", odd.nl, odd.nc),
        1.5,
        [&] {
          VETOR<IMGGRY> v;
          piramide(odd, v, rmin, cmin, modo);
          return v;
        },
        [&] { return chain(modo == 'm'); }, check);
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
  more_rotations(a, f, z, rgb);
  zooms(a, f, rgb);
  more_zooms(a, f, rgb);
  pyramids(a);
  more_pyramids(a);
  turns(a, f);
  more_turns(a, f, z, rgb);
  return 0;
}
