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

void components(int n) {
  IMGBIN a = speckled(n, n, 11);
  cv::Mat obj = bytes(a);
  cv::bitwise_not(obj, obj);  // black pixels are the objects
  const int m = 10;
  // Black objects of at least m pixels kept, on white: 8-connected labelling with areas, then a
  // mask of the kept labels.
  row(
      fmt("filtcc 8-conn m=%g %gx%g vs connectedComponentsWithStats+mask", m, n, n), 1.0,
      [&] { return filtcc(a, m); },
      [&] {
        cv::Mat labels, stats, centroids, r;
        int nlab = cv::connectedComponentsWithStats(obj, labels, stats, centroids, 8, CV_32S);
        std::vector<uchar> keep(nlab);
        keep[0] = 255;
        for (int i = 1; i < nlab; i++) keep[i] = stats.at<int>(i, cv::CC_STAT_AREA) >= m ? 0 : 255;
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
  moving_averages(a, f);
  morphology(a);
  components(large_size());
  return 0;
}
