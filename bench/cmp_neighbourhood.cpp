// Median, moving average, morphology and connected components against OpenCV, one thread each.
// 2048 x 2048 grey unless the label says otherwise (BENCH_SIZE scales every side).
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <vector>

#include "bench/cmp_common.h"
#include "bench/cmp_cv.h"
#include "vistelmo.h"

using namespace cmp;

namespace {

IMGGRY ones_mask(int k) { return IMGGRY(k, k, static_cast<unsigned char>(1)); }

// Disk of diameter k as a 0/1 mask (the shape of eecircular).
IMGGRY disk_mask(int k) {
  IMGBIN d;
  eecircular(k, d);
  IMGGRY m(k, k);
  for (int l = 0; l < k; l++)
    for (int c = 0; c < k; c++) m.rows[l][c] = d(l, c) ? 1 : 0;
  return m;
}

// Binary image: white background with black specks and blobs (about 30% black).
IMGBIN speckled(int nl, int nc, uint64_t seed) {
  IMGGRY g = grey_image(nl, nc, seed);
  IMGBIN b(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) b(l, c) = g.rows[l][c] >= 105;
  return b;
}

// Checks: whole image, or the interior `margin` pixels in from every edge.
auto same(int margin = 0) {
  return [margin](const auto& ours, const cv::Mat& peer) {
    return describe(compare(view(ours), peer, margin), margin ? "interior: " : "");
  };
}
auto same_bin(int margin = 0) {
  return [margin](const IMGBIN& ours, const cv::Mat& peer) {
    return describe(compare(bytes(ours), peer, margin), margin ? "interior: " : "");
  };
}

void medians(const IMGGRY& a) {
  // mediana leaves outside samples out, medianBlur replicates the edge: interior compared.
  for (int k : {3, 5, 7}) {
    IMGGRY m = ones_mask(k);
    row(
        fmt("mediana IMGGRY %gx%g ones vs medianBlur", k, k), k <= 5 ? 1.5 : 1.0,
        [&] { return mediana(a, m); },
        [&] {
          cv::Mat r;
          cv::medianBlur(view(a), r, k);
          return r;
        },
        same(k / 2));
  }
  {
    // Goal: at most 2x the rectangle of the bounding box, that is about 2x medianBlur 7x7.
    IMGGRY m = disk_mask(7);
    row(
        "mediana IMGGRY disk 7 vs medianBlur 7x7 (bounding box)", 2.0,
        [&] { return mediana(a, m); },
        [&] {
          cv::Mat r;
          cv::medianBlur(view(a), r, 7);
          return r;
        },
        [](const IMGGRY&, const cv::Mat&) { return std::string("other window: no check"); });
  }
  {
    // Binary median (weighted majority) with a 3x3 window of ones against medianBlur on 0/255.
    IMGBIN b = speckled(a.nl, a.nc, 3);
    cv::Mat bb = bytes(b);
    for (int k : {3, 5}) {
      IMGGRY m = ones_mask(k);
      row(
          fmt("mediana IMGBIN %gx%g ones vs medianBlur on 0/255", k, k), 1.5,
          [&] { return mediana(b, m); },
          [&] {
            cv::Mat r;
            cv::medianBlur(bb, r, k);
            return r;
          },
          same_bin(k / 2));
    }
  }
}

template <class Img>
cv::Mat box(const Img& a, int k) {
  cv::Mat r;
  cv::blur(view(a), r, cv::Size(k, k), cv::Point(-1, -1), cv::BORDER_REPLICATE);
  return r;
}

void moving_averages(const IMGGRY& a, const IMGFLT& f) {
  // Border 'x' repeats the edge: blur with BORDER_REPLICATE. 's' rounds between its passes, so
  // it may differ from blur by one grey level.
  for (int k : {3, 7, 15})
    row(
        fmt("mediamov IMGGRY 's','x' %gx%g vs blur replicate", k, k), 1.5,
        [&] { return mediamov(a, k, k, 's', 'x'); }, [&] { return box(a, k); }, same());
  for (int k : {3, 15})
    row(
        fmt("mediamov IMGGRY 'n','x' %gx%g vs blur replicate", k, k), 1.5,
        [&] { return mediamov(a, k, k, 'n', 'x'); }, [&] { return box(a, k); }, same());
  for (char e : {'n', 's'})
    row(
        std::string("mediamov IMGFLT '") + e + "','x' 7x7 vs blur replicate", 2.0,
        [&] { return mediamov(f, 7, 7, e, 'x'); }, [&] { return box(f, 7); }, same());
}

void morphology(const IMGGRY& a) {
  // Outside reads 255 (erosion) / 0 (dilation): OpenCV's default morphology border does the same.
  for (int k : {3, 15}) {
    cv::Mat ker = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k));
    row(
        fmt("erosao IMGGRY rect %gx%g vs erode", k, k), 1.5, [&] { return erosao(a, k, k); },
        [&] {
          cv::Mat r;
          cv::erode(view(a), r, ker);
          return r;
        },
        same());
    row(
        fmt("dilat IMGGRY rect %gx%g vs dilate", k, k), 1.5, [&] { return dilat(a, k, k); },
        [&] {
          cv::Mat r;
          cv::dilate(view(a), r, ker);
          return r;
        },
        same());
  }
  cv::Mat k15 = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(15, 15));
  {
    // Flat 15x15 IMGSHT element (all 0): the goal is the rectangle's speed.
    IMGSHT s(15, 15, static_cast<short>(0));
    row(
        "grey erosion a - IMGSHT flat 15x15 vs erode rect", 1.5, [&] { return a - s; },
        [&] {
          cv::Mat r;
          cv::erode(view(a), r, k15);
          return r;
        },
        same());
  }
  {
    // Flat disk element: erode with the same members as mask (neither side reflects erosion).
    IMGSHT s;
    eecircular(15, s);
    cv::Mat mask(15, 15, CV_8U);
    for (int l = 0; l < 15; l++)
      for (int c = 0; c < 15; c++) mask.at<uchar>(l, c) = s.rows[l][c] != -32768;
    row(
        "grey erosion a - IMGSHT disk 15 vs erode same mask", 2.0, [&] { return a - s; },
        [&] {
          cv::Mat r;
          cv::erode(view(a), r, mask, cv::Point(s.cc, s.lc));
          return r;
        },
        same());
  }
  {
    IMGBIN b = speckled(a.nl, a.nc, 5);
    cv::Mat bb = bytes(b);
    IMGBIN s(15, 15, true);
    auto peer = [&] {
      cv::Mat r;
      cv::erode(bb, r, k15);
      return r;
    };
    row(
        "IMGBIN - IMGBIN 15x15 white vs erode on 0/255", 1.0, [&] { return b - s; }, peer,
        same_bin());
    row(
        "erosao IMGBIN rect 15x15 vs erode on 0/255", 1.5, [&] { return erosao(b, 15, 15); }, peer,
        same_bin());
  }
}

// A 0/1 mask of the cross (plus) of side k, a k1 x k2 rectangle of ones, and a 3x3 mask of ones
// with centre weight w.
IMGGRY cross_mask(int k) {
  IMGGRY m(k, k, static_cast<unsigned char>(0));
  for (int i = 0; i < k; i++) m.rows[k / 2][i] = m.rows[i][k / 2] = 1;
  return m;
}
IMGGRY weighted3(int w) {
  IMGGRY m = ones_mask(3);
  m.rows[1][1] = static_cast<unsigned char>(w);
  return m;
}

// 0/1 members of a structuring image as an OpenCV mask.
cv::Mat members(const IMGSHT& s) {
  cv::Mat mask(s.nl, s.nc, CV_8U);
  for (int l = 0; l < s.nl; l++)
    for (int c = 0; c < s.nc; c++) mask.at<uchar>(l, c) = s.rows[l][c] != -32768;
  return mask;
}
cv::Mat members(const IMGBIN& s) {
  cv::Mat mask(s.nl, s.nc, CV_8U);
  for (int l = 0; l < s.nl; l++)
    for (int c = 0; c < s.nc; c++) mask.at<uchar>(l, c) = s(l, c) ? 1 : 0;
  return mask;
}

// Disk of diameter k with heights falling from h at the centre to 0 at the rim (not flat).
IMGSHT ball(int k, int h) {
  IMGSHT s;
  eecircular(k, s);
  double r = k / 2.0;
  for (int l = 0; l < k; l++)
    for (int c = 0; c < k; c++)
      if (s.rows[l][c] != -32768) {
        double d2 = (l - s.lc) * (l - s.lc) + (c - s.cc) * (c - s.cc);
        s.rows[l][c] = static_cast<short>(std::lround(h * (1 - d2 / (r * r))));
      }
  return s;
}

// Median with other masks and types; goal for a mask: 2x medianBlur over its bounding square.
void more_medians(const IMGGRY& a, const IMGFLT& f) {
  auto blur_med = [](const cv::Mat& src, int k) {
    return [&src, k] {
      cv::Mat r;
      cv::medianBlur(src, r, k);
      return r;
    };
  };
  cv::Mat va = view(a);
  for (int k : {9, 15}) {
    IMGGRY m = ones_mask(k);
    row(
        fmt("mediana IMGGRY %gx%g ones vs medianBlur", k, k), 1.0, [&] { return mediana(a, m); },
        blur_med(va, k), same(k / 2));
  }
  auto nocheck = [](const auto&, const cv::Mat&) { return std::string("other window: no check"); };
  struct Mask {
    const char* name;
    IMGGRY m;
    int box;
  };
  IMGGRY r37 = ones_mask(1);
  r37.resize(3, 7);
  r37.fill(1);
  IMGGRY r19 = ones_mask(1);
  r19.resize(1, 9);
  r19.fill(1);
  for (const Mask& mk : {Mask{"disk 5", disk_mask(5), 5}, Mask{"disk 15", disk_mask(15), 15},
                         Mask{"cross 3", cross_mask(3), 3}, Mask{"cross 7", cross_mask(7), 7},
                         Mask{"3x3 centre weight 3", weighted3(3), 3}, Mask{"3x7 ones", r37, 7},
                         Mask{"1x9 ones", r19, 9}}) {
    row(
        std::string("mediana IMGGRY ") + mk.name +
            fmt(" vs medianBlur %gx%g (bounding box)", mk.box, mk.box),
        2.0, [&] { return mediana(a, mk.m); }, blur_med(va, mk.box), nocheck);
  }
  {
    IMGDBL d(f);
    cv::Mat vf = view(f);
    for (int k : {3, 5}) {
      IMGGRY m = ones_mask(k);
      row(
          fmt("mediana IMGDBL %gx%g ones vs medianBlur 32F", k, k), 1.5,
          [&] { return mediana(d, m); }, blur_med(vf, k),
          [](const IMGDBL&, const cv::Mat&) { return std::string("other type: no check"); });
    }
    IMGGRY dk = disk_mask(5);
    row(
        "mediana IMGDBL disk 5 vs medianBlur 32F 5x5 (bounding box)", 2.0,
        [&] { return mediana(d, dk); }, blur_med(vf, 5),
        [](const IMGDBL&, const cv::Mat&) { return std::string("other window: no check"); });
  }
  {
    IMGCOR rgb(a.nl, a.nc);
    IMGGRY g = grey_image(a.nl, a.nc, 2), b = grey_image(a.nl, a.nc, 3);
    for (int i = 0; i < a.nl * a.nc; i++) rgb.data[i] = COR{a.data[i], g.data[i], b.data[i]};
    cv::Mat vc = view(rgb);
    for (int k : {3, 5, 7}) {
      IMGGRY m = ones_mask(k);
      row(
          fmt("mediana IMGCOR %gx%g ones vs medianBlur 8UC3", k, k), k <= 5 ? 1.5 : 1.0,
          [&] { return mediana(rgb, m); }, blur_med(vc, k), same(k / 2));
    }
  }
  {
    IMGBIN b = speckled(a.nl, a.nc, 3);
    cv::Mat bb = bytes(b);
    IMGGRY m7 = ones_mask(7), d7 = disk_mask(7), c3 = cross_mask(3);
    row(
        "mediana IMGBIN 7x7 ones vs medianBlur on 0/255", 1.0, [&] { return mediana(b, m7); },
        blur_med(bb, 7), same_bin(3));
    row(
        "mediana IMGBIN disk 7 vs medianBlur 7x7 on 0/255 (bounding box)", 2.0,
        [&] { return mediana(b, d7); }, blur_med(bb, 7),
        [](const IMGBIN&, const cv::Mat&) { return std::string("other window: no check"); });
    row(
        "mediana IMGBIN cross 3 vs medianBlur 3x3 on 0/255 (bounding box)", 2.0,
        [&] { return mediana(b, c3); }, blur_med(bb, 3),
        [](const IMGBIN&, const cv::Mat&) { return std::string("other window: no check"); });
  }
}

// Moving average: other sizes, shapes and the border that leaves outside samples out.
void more_moving_averages(const IMGGRY& a, const IMGFLT& f) {
  auto box2 = [](const auto& img, int nl, int nc) {
    cv::Mat r;
    cv::blur(view(img), r, cv::Size(nc, nl), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    return r;
  };
  auto other_border = [](const auto&, const cv::Mat&) {
    return std::string("outside left out vs replicate: no check");
  };
  struct W {
    int nl, nc;
  };
  for (char e : {'s', 'n'})
    for (W w : {W{5, 5}, W{9, 9}, W{31, 31}, W{3, 15}, W{15, 3}, W{4, 4}, W{1, 7}})
      row(
          std::string("mediamov IMGGRY '") + e + fmt("','x' %gx%g vs blur replicate", w.nl, w.nc),
          1.5, [&] { return mediamov(a, w.nl, w.nc, e, 'x'); }, [&] { return box2(a, w.nl, w.nc); },
          same());
  for (char e : {'s', 'n'})
    for (int k : {3, 7, 15})
      row(
          std::string("mediamov IMGGRY '") + e + fmt("','e' %gx%g vs blur replicate", k, k), 1.5,
          [&] { return mediamov(a, k, k, e, 'e'); }, [&] { return box2(a, k, k); }, other_border);
  for (char e : {'s', 'n'}) {
    for (int k : {3, 15, 31})
      row(
          std::string("mediamov IMGFLT '") + e + fmt("','x' %gx%g vs blur replicate", k, k), 2.0,
          [&] { return mediamov(f, k, k, e, 'x'); }, [&] { return box2(f, k, k); }, same());
    row(
        std::string("mediamov IMGFLT '") + e + "','x' 3x15 vs blur replicate", 2.0,
        [&] { return mediamov(f, 3, 15, e, 'x'); }, [&] { return box2(f, 3, 15); }, same());
    row(
        std::string("mediamov IMGFLT '") + e + "','e' 7x7 vs blur replicate", 2.0,
        [&] { return mediamov(f, 7, 7, e, 'e'); }, [&] { return box2(f, 7, 7); }, other_border);
  }
}

// Rectangles with an even side: OpenCV's anchor may sit elsewhere.
auto anchored(bool odd) {
  return [odd](const IMGGRY& o, const cv::Mat& p) {
    return describe(compare(view(o), p), odd ? "" : "even side, other anchor: ");
  };
}

// OpenCV's erosion (erode true) or dilation of src by ker with its anchor at `at`.
auto morph_peer(const cv::Mat& src, bool erode, const cv::Mat& ker,
                cv::Point at = cv::Point(-1, -1)) {
  return [src, erode, ker, at] {
    cv::Mat r;
    if (erode)
      cv::erode(src, r, ker, at);
    else
      cv::dilate(src, r, ker, at);
    return r;
  };
}
cv::Mat rect(int nl, int nc) { return cv::getStructuringElement(cv::MORPH_RECT, cv::Size(nc, nl)); }

void more_morphology(const IMGGRY& a, const IMGFLT& f) {
  cv::Mat va = view(a), vf = view(f);
  struct W {
    int nl, nc;
  };
  for (W w : {W{5, 5}, W{31, 31}, W{63, 63}, W{1, 31}, W{31, 1}, W{4, 4}, W{3, 21}}) {
    cv::Mat ker = rect(w.nl, w.nc);
    row(
        fmt("erosao IMGGRY rect %gx%g vs erode", w.nl, w.nc), 1.5,
        [&] { return erosao(a, w.nl, w.nc); }, morph_peer(va, true, ker),
        anchored(w.nl % 2 && w.nc % 2));
    row(
        fmt("dilat IMGGRY rect %gx%g vs dilate", w.nl, w.nc), 1.5,
        [&] { return dilat(a, w.nl, w.nc); }, morph_peer(va, false, ker),
        anchored(w.nl % 2 && w.nc % 2));
  }
  // IMGFLT reads its outside value (0) beyond the edges: interior compared.
  for (int k : {3, 15, 31}) {
    row(
        fmt("erosao IMGFLT rect %gx%g vs erode 32F", k, k), 1.5, [&] { return erosao(f, k, k); },
        morph_peer(vf, true, rect(k, k)), same(k / 2));
    row(
        fmt("dilat IMGFLT rect %gx%g vs dilate 32F", k, k), 1.5, [&] { return dilat(f, k, k); },
        morph_peer(vf, false, rect(k, k)), same(k / 2));
  }
  // Grey morphology by structuring images: flat rectangles, flat disks, and heights.
  for (int k : {3, 31}) {
    IMGSHT s(k, k, static_cast<short>(0));
    row(
        fmt("grey erosion a - IMGSHT flat %gx%g vs erode rect", k, k), 1.5, [&] { return a - s; },
        morph_peer(va, true, rect(k, k)), same());
    row(
        fmt("grey dilation a + IMGSHT flat %gx%g vs dilate rect", k, k), 1.5, [&] { return a + s; },
        morph_peer(va, false, rect(k, k)), same());
  }
  for (int k : {5, 15, 31}) {
    IMGSHT s;
    eecircular(k, s);
    cv::Point at(s.cc, s.lc);
    row(
        fmt("grey dilation a + IMGSHT disk %g vs dilate same mask", k), 2.0, [&] { return a + s; },
        morph_peer(va, false, members(s), at), same());
    if (k != 15)
      row(
          fmt("grey erosion a - IMGSHT disk %g vs erode same mask", k), 2.0, [&] { return a - s; },
          morph_peer(va, true, members(s), at), same());
  }
  auto heights = [](const IMGGRY&, const cv::Mat&) { return std::string("heights: no check"); };
  for (int k : {3, 7, 15}) {
    IMGSHT s = ball(k, 12);
    cv::Point at(s.cc, s.lc);
    row(
        fmt("grey erosion a - IMGSHT ball %g (heights) vs erode same mask", k), 2.0,
        [&] { return a - s; }, morph_peer(va, true, members(s), at), heights);
    row(
        fmt("grey dilation a + IMGSHT ball %g (heights) vs dilate same mask", k), 2.0,
        [&] { return a + s; }, morph_peer(va, false, members(s), at), heights);
  }
  {
    // Heights on a full 7x7 square.
    IMGSHT s(7, 7);
    for (int l = 0; l < 7; l++)
      for (int c = 0; c < 7; c++) s.rows[l][c] = static_cast<short>((l * 3 + c * 5) % 9);
    row(
        "grey erosion a - IMGSHT 7x7 heights vs erode rect", 2.0, [&] { return a - s; },
        morph_peer(va, true, rect(7, 7)), heights);
  }
  // Binary morphology on packed bits against 0/255 bytes.
  IMGBIN b = speckled(a.nl, a.nc, 5);
  cv::Mat bb = bytes(b);
  for (int k : {3, 31}) {
    IMGBIN s(k, k, true);
    row(
        fmt("IMGBIN - IMGBIN %gx%g white vs erode on 0/255", k, k), 1.0, [&] { return b - s; },
        morph_peer(bb, true, rect(k, k)), same_bin());
  }
  for (int k : {3, 15}) {
    IMGBIN s(k, k, true);
    row(
        fmt("IMGBIN + IMGBIN %gx%g white vs dilate on 0/255", k, k), 1.0, [&] { return b + s; },
        morph_peer(bb, false, rect(k, k)), same_bin());
  }
  for (int k : {5, 15}) {
    IMGBIN s;
    eecircular(k, s);
    cv::Point at(s.cc, s.lc);
    row(
        fmt("IMGBIN - IMGBIN disk %g vs erode same mask on 0/255", k), 1.0, [&] { return b - s; },
        morph_peer(bb, true, members(s), at), same_bin());
    row(
        fmt("IMGBIN + IMGBIN disk %g vs dilate same mask on 0/255", k), 1.0, [&] { return b + s; },
        morph_peer(bb, false, members(s), at), same_bin());
  }
  {
    IMGBIN s(3, 3, false);
    for (int i = 0; i < 3; i++) s(1, i) = s(i, 1) = true;
    row(
        "IMGBIN - IMGBIN cross 3 vs erode same mask on 0/255", 1.0, [&] { return b - s; },
        morph_peer(bb, true, members(s), cv::Point(s.cc, s.lc)), same_bin());
  }
  for (int k : {3, 31}) {
    row(
        fmt("erosao IMGBIN rect %gx%g vs erode on 0/255", k, k), 1.5,
        [&] { return erosao(b, k, k); }, morph_peer(bb, true, rect(k, k)), same_bin());
    row(
        fmt("dilat IMGBIN rect %gx%g vs dilate on 0/255", k, k), 1.5,
        [&] { return dilat(b, k, k); }, morph_peer(bb, false, rect(k, k)), same_bin());
  }
}

void components(int n) {
  IMGBIN a = speckled(n, n, 11);
  cv::Mat obj = bytes(a);
  cv::bitwise_not(obj, obj);  // black pixels are the objects
  // Black objects of at least m pixels kept, on white: 8-connected labelling with areas, then a
  // mask of the kept labels.
  for (int m : {10, 2, 200})
    row(
        fmt("filtcc 8-conn m=%g %gx%g vs connectedComponentsWithStats+mask", m, n, n), 1.0,
        [&] { return filtcc(a, m); },
        [&] {
          cv::Mat labels, stats, centroids, r;
          int nlab = cv::connectedComponentsWithStats(obj, labels, stats, centroids, 8, CV_32S);
          std::vector<uchar> keep(nlab);
          keep[0] = 255;
          for (int i = 1; i < nlab; i++)
            keep[i] = stats.at<int>(i, cv::CC_STAT_AREA) >= m ? 0 : 255;
          r.create(labels.size(), CV_8U);
          for (int l = 0; l < labels.rows; l++) {
            const int* lr = labels.ptr<int>(l);
            uchar* o = r.ptr<uchar>(l);
            for (int c = 0; c < labels.cols; c++) o[c] = keep[lr[c]];
          }
          return r;
        },
        same_bin());
  // findce: one black pixel at the bounding-box centre of each 4-connected black blob.
  row(
      fmt("findce 4-conn %gx%g vs connectedComponentsWithStats+centres", n, n), 1.0,
      [&] { return findce(a); },
      [&] {
        cv::Mat labels, stats, centroids, r;
        int nlab = cv::connectedComponentsWithStats(obj, labels, stats, centroids, 4, CV_32S);
        r.create(labels.size(), CV_8U);
        r.setTo(255);
        for (int i = 1; i < nlab; i++) {
          const int* s = stats.ptr<int>(i);
          int l = s[cv::CC_STAT_TOP] + (s[cv::CC_STAT_HEIGHT] - 1) / 2;
          int c = s[cv::CC_STAT_LEFT] + (s[cv::CC_STAT_WIDTH] - 1) / 2;
          r.at<uchar>(l, c) = 0;
        }
        return r;
      },
      same_bin());
}

}  // namespace

int main() {
  cv::setNumThreads(1);
  int n = base_size();
  std::printf("neighbourhood: %dx%d grey (components %dx%d), one thread each\n", n, n, large_size(),
              large_size());
  IMGGRY a = grey_image(n, n);
  IMGFLT f = float_image(n, n);
  medians(a);
  more_medians(a, f);
  moving_averages(a, f);
  more_moving_averages(a, f);
  morphology(a);
  more_morphology(a, f);
  components(large_size());
  return 0;
}
