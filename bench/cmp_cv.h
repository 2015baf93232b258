// OpenCV views of the library's images and result comparisons for the cmp_* benchmarks.
#pragma once

#include <opencv2/core.hpp>

#include <cmath>
#include <string>

#include "bench/cmp_common.h"
#include "images/images.h"

namespace cmp {

// Views without copy: the pixel blocks are row-major with rows of nc pixels.
inline cv::Mat view(const IMGGRY& a) { return cv::Mat(a.nl, a.nc, CV_8U, a.data); }
inline cv::Mat view(const IMGSHT& a) { return cv::Mat(a.nl, a.nc, CV_16S, a.data); }
inline cv::Mat view(const IMGFLT& a) { return cv::Mat(a.nl, a.nc, CV_32F, a.data); }
inline cv::Mat view(const IMGDBL& a) { return cv::Mat(a.nl, a.nc, CV_64F, a.data); }
inline cv::Mat view(const IMGCOR& a) { return cv::Mat(a.nl, a.nc, CV_8UC3, a.data); }
inline cv::Mat view(const IMGCPX& a) { return cv::Mat(a.nl, a.nc, CV_32FC2, a.data); }
// A Mat is its own view (peers written once for images and Mats).
inline cv::Mat view(const cv::Mat& m) { return m; }

// 0/255 bytes of a binary image (255 white) and back.
inline cv::Mat bytes(const IMGBIN& a) {
  cv::Mat m(a.nl, a.nc, CV_8U);
  for (int l = 0; l < a.nl; l++)
    for (int c = 0; c < a.nc; c++) m.at<uchar>(l, c) = a(l, c) ? 255 : 0;
  return m;
}
inline IMGBIN binary(const cv::Mat& m) {
  IMGBIN a(m.rows, m.cols);
  for (int l = 0; l < m.rows; l++)
    for (int c = 0; c < m.cols; c++) a(l, c) = m.at<uchar>(l, c) != 0;
  return a;
}

// Largest |ours - peer| and the number of differing samples over the block that lies at least
// `margin` pixels inside every edge (borders that the two sides treat differently are skipped).
struct Diff {
  double max = 0;
  long count = 0;
  long total = 0;
};

inline Diff compare(const cv::Mat& ours, const cv::Mat& peer, int margin = 0) {
  Diff d;
  if (ours.size() != peer.size() || ours.type() != peer.type()) {
    d.max = INFINITY;
    return d;
  }
  cv::Mat a, b;
  ours.convertTo(a, CV_64F);
  peer.convertTo(b, CV_64F);
  a = a.reshape(1);
  b = b.reshape(1);
  int ch = ours.channels();
  for (int l = margin; l < a.rows - margin; l++)
    for (int c = margin * ch; c < a.cols - margin * ch; c++) {
      double x = a.at<double>(l, c), y = b.at<double>(l, c);
      double e = std::fabs(x - y);
      if (std::isnan(x) != std::isnan(y)) e = INFINITY;
      if (e > d.max) d.max = e;
      if (e > 0) d.count++;
      d.total++;
    }
  return d;
}

inline std::string describe(const Diff& d, const char* what = "") {
  char buf[160];
  if (d.total == 0 && d.max == INFINITY) return "size/type mismatch";
  std::snprintf(buf, sizeof buf, "%smax|diff| %.3g, %ld of %ld differ", what, d.max, d.count,
                d.total);
  return buf;
}

}  // namespace cmp
