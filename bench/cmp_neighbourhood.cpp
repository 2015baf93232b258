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

// Random binary image: white background with black specks and blobs (about 30% black).
IMGBIN speckled(int nl, int nc, uint64_t seed) {
  IMGGRY g = grey_image(nl, nc, seed);
  IMGBIN b(nl, nc);
  for (int l = 0; l < nl; l++)
    for (int c = 0; c < nc; c++) b(l, c) = g.rows[l][c] >= 105;
  return b;
}

void medians(const IMGGRY& a) {
  // mediana leaves outside samples out, medianBlur replicates the edge: interior compared.
  for (int k : {3, 5, 7}) {
    IMGGRY m = ones_mask(k), ours;
    cv::Mat peer;
    double goal = k <= 5 ? 1.5 : 1.0;
    row(
        fmt("mediana IMGGRY %gx%g ones vs medianBlur", k, k), goal, [&] { ours = mediana(a, m); },
        [&] { cv::medianBlur(view(a), peer, k); },
        [&] { return describe(compare(view(ours), peer, k / 2), "interior: "); });
  }
  {
    // Goal: at most 2x the rectangle of the bounding box, i.e. about 2x medianBlur 7x7.
    IMGGRY m = disk_mask(7), ours;
    cv::Mat peer;
    row(
        "mediana IMGGRY disk 7 vs medianBlur 7x7 (bounding box)", 2.0,
        [&] { ours = mediana(a, m); }, [&] { cv::medianBlur(view(a), peer, 7); },
        [] { return std::string("different windows: no check"); });
  }
  {
    // Binary median (weighted majority) with a 3x3 window of ones against medianBlur on 0/255.
    IMGBIN b = speckled(a.nl, a.nc, 3), ours;
    cv::Mat bb = bytes(b), peer;
    IMGGRY m = ones_mask(3);
    row(
        "mediana IMGBIN 3x3 ones vs medianBlur 3x3 on 0/255", 1.5, [&] { ours = mediana(b, m); },
        [&] { cv::medianBlur(bb, peer, 3); },
        [&] { return describe(compare(bytes(ours), peer, 1), "interior: "); });
  }
}

void moving_averages(const IMGGRY& a, const IMGFLT& f) {
  // Border 'x' repeats the edge: blur with BORDER_REPLICATE. 's' rounds between its passes, so
  // it may differ from blur by one grey level.
  for (int k : {3, 7, 15}) {
    IMGGRY ours;
    cv::Mat peer;
    row(
        fmt("mediamov IMGGRY 's','x' %gx%g vs blur replicate", k, k), 1.5,
        [&] { ours = mediamov(a, k, k, 's', 'x'); },
        [&] { cv::blur(view(a), peer, cv::Size(k, k), cv::Point(-1, -1), cv::BORDER_REPLICATE); },
        [&] { return describe(compare(view(ours), peer)); });
  }
  for (int k : {3, 15}) {
    IMGGRY ours;
    cv::Mat peer;
    row(
        fmt("mediamov IMGGRY 'n','x' %gx%g vs blur replicate", k, k), 1.5,
        [&] { ours = mediamov(a, k, k, 'n', 'x'); },
        [&] { cv::blur(view(a), peer, cv::Size(k, k), cv::Point(-1, -1), cv::BORDER_REPLICATE); },
        [&] { return describe(compare(view(ours), peer)); });
  }
  for (char e : {'n', 's'}) {
    IMGFLT ours;
    cv::Mat peer;
    row(
        std::string("mediamov IMGFLT '") + e + "','x' 7x7 vs blur replicate", 2.0,
        [&] { ours = mediamov(f, 7, 7, e, 'x'); },
        [&] { cv::blur(view(f), peer, cv::Size(7, 7), cv::Point(-1, -1), cv::BORDER_REPLICATE); },
        [&] { return describe(compare(view(ours), peer)); });
  }
}

void morphology(const IMGGRY& a) {
  // Outside reads 255 (erosion) / 0 (dilation): OpenCV's default morphology border does the same.
  cv::Mat k3 = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::Mat k15 = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(15, 15));
  struct Case {
    const char* name;
    int k;
    bool erode;
  };
  for (Case cs : {Case{"erosao", 3, true}, Case{"dilat", 3, false}, Case{"erosao", 15, true},
                  Case{"dilat", 15, false}}) {
    IMGGRY ours;
    cv::Mat peer;
    const cv::Mat& ker = cs.k == 3 ? k3 : k15;
    std::string label = std::string(cs.name) + fmt(" IMGGRY rect %gx%g vs ", cs.k, cs.k) +
                        (cs.erode ? "erode" : "dilate");
    row(
        label, 1.5, [&] { ours = cs.erode ? erosao(a, cs.k, cs.k) : dilat(a, cs.k, cs.k); },
        [&] {
          if (cs.erode)
            cv::erode(view(a), peer, ker);
          else
            cv::dilate(view(a), peer, ker);
        },
        [&] { return describe(compare(view(ours), peer)); });
  }
  {
    // Flat 15x15 IMGSHT element (all 0): the goal is the rectangle's speed.
    IMGSHT s(15, 15, static_cast<short>(0));
    IMGGRY ours;
    cv::Mat peer;
    row(
        "grey erosion a - IMGSHT flat 15x15 vs erode rect", 1.5, [&] { ours = a - s; },
        [&] { cv::erode(view(a), peer, k15); },
        [&] { return describe(compare(view(ours), peer)); });
  }
  {
    // Flat disk element: erode with the same members as mask (neither side reflects erosion).
    IMGSHT s;
    eecircular(15, s);
    cv::Mat mask(15, 15, CV_8U);
    for (int l = 0; l < 15; l++)
      for (int c = 0; c < 15; c++) mask.at<uchar>(l, c) = s.rows[l][c] != -32768;
    IMGGRY ours;
    cv::Mat peer;
    row(
        "grey erosion a - IMGSHT disk 15 vs erode same mask", 2.0, [&] { ours = a - s; },
        [&] { cv::erode(view(a), peer, mask, cv::Point(s.cc, s.lc)); },
        [&] { return describe(compare(view(ours), peer)); });
  }
  {
    IMGBIN b = speckled(a.nl, a.nc, 5), ours;
    cv::Mat bb = bytes(b), peer;
    IMGBIN s(15, 15, true);
    row(
        "IMGBIN - IMGBIN 15x15 white vs erode on 0/255", 1.0, [&] { ours = b - s; },
        [&] { cv::erode(bb, peer, k15); }, [&] { return describe(compare(bytes(ours), peer)); });
    IMGBIN ours2;
    row(
        "erosao IMGBIN rect 15x15 vs erode on 0/255", 1.5, [&] { ours2 = erosao(b, 15, 15); },
        [&] { cv::erode(bb, peer, k15); }, [&] { return describe(compare(bytes(ours2), peer)); });
  }
}

// The black components as 255 in a byte image (objects for OpenCV).
cv::Mat black_as_objects(const IMGBIN& a) {
  cv::Mat m = bytes(a);
  cv::bitwise_not(m, m);
  return m;
}

void components(int n) {
  // Black objects of at least m pixels kept, on white: 8-connected labelling with areas, then a
  // mask of the kept labels.
  IMGBIN a = speckled(n, n, 11), ours;
  cv::Mat obj = black_as_objects(a), peer;
  const int m = 10;
  row(
      fmt("filtcc 8-conn m=%g %gx%g vs connectedComponentsWithStats+mask", m, n, n), 1.0,
      [&] { ours = filtcc(a, m); },
      [&] {
        cv::Mat labels, stats, centroids;
        int nlab = cv::connectedComponentsWithStats(obj, labels, stats, centroids, 8, CV_32S);
        std::vector<uchar> keep(nlab);
        keep[0] = 255;
        for (int i = 1; i < nlab; i++) keep[i] = stats.at<int>(i, cv::CC_STAT_AREA) >= m ? 0 : 255;
        peer.create(labels.size(), CV_8U);
        for (int l = 0; l < labels.rows; l++) {
          const int* lr = labels.ptr<int>(l);
          uchar* o = peer.ptr<uchar>(l);
          for (int c = 0; c < labels.cols; c++) o[c] = keep[lr[c]];
        }
      },
      [&] { return describe(compare(bytes(ours), peer)); });
  // findce: one black pixel at the bounding-box centre of each 4-connected black blob.
  IMGBIN ours2;
  row(
      fmt("findce 4-conn %gx%g vs connectedComponentsWithStats+centres", n, n), 1.0,
      [&] { ours2 = findce(a); },
      [&] {
        cv::Mat labels, stats, centroids;
        int nlab = cv::connectedComponentsWithStats(obj, labels, stats, centroids, 4, CV_32S);
        peer.create(labels.size(), CV_8U);
        peer.setTo(255);
        for (int i = 1; i < nlab; i++) {
          const int* s = stats.ptr<int>(i);
          int l = s[cv::CC_STAT_TOP] + (s[cv::CC_STAT_HEIGHT] - 1) / 2;
          int c = s[cv::CC_STAT_LEFT] + (s[cv::CC_STAT_WIDTH] - 1) / 2;
          peer.at<uchar>(l, c) = 0;
        }
      },
      [&] { return describe(compare(bytes(ours2), peer)); });
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
