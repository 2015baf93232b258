// Convolution, Gaussian filters, gradients, divergence, diffusion, total variation and the
// pointwise algebra against OpenCV, one thread each. 2048 x 2048 IMGFLT unless the label says
// otherwise, pointwise rows 4096 x 4096 (BENCH_SIZE scales every side). Every convolution uses
// mode 'x' (edges continued) against BORDER_REPLICATE.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/cmp_common.h"
#include "bench/cmp_cv.h"
#include "vistelmo.h"

using namespace cmp;

namespace {

auto same() {
  return [](const auto& ours, const cv::Mat& peer) { return describe(compare(view(ours), peer)); };
}

// convolucao mirrors the kernel about its stored centre; filter2D correlates: flip it and move
// the anchor to the mirrored centre.
cv::Mat flipped(const IMGFLT& k, cv::Point& anchor) {
  cv::Mat f;
  cv::flip(view(k), f, -1);
  anchor = cv::Point(k.nc - 1 - k.cc, k.nl - 1 - k.lc);
  return f;
}

template <class Img>
cv::Mat filter(const Img& a, const IMGFLT& k, int depth) {
  cv::Point anchor;
  cv::Mat kf = flipped(k, anchor), r;
  cv::filter2D(view(a), r, depth, kf, anchor, 0, cv::BORDER_REPLICATE);
  return r;
}

// The taps reversed (ConvH/ConvV mirror their kernel), as a column of floats.
cv::Mat reversed_taps(const VETOR<double>& k) {
  cv::Mat t(k.n, 1, CV_64F);
  for (int i = 0; i < k.n; i++) t.at<double>(k.n - 1 - i) = k.data[i];
  return t;
}

IMGFLT random_kernel(int nl, int nc, uint64_t seed) {
  Rng r;
  r.s += seed;
  IMGFLT k(nl, nc);
  for (int i = 0; i < nl * nc; i++) k.data[i] = static_cast<float>((r.uniform() - 0.3) / (nl * nc));
  return k;
}

VETOR<double> random_taps(int n, uint64_t seed) {
  Rng r;
  r.s += seed;
  VETOR<double> k(n);
  for (int i = 0; i < n; i++) k.data[i] = (r.uniform() - 0.3) / n;
  return k;
}

void convolutions(const IMGFLT& a, const IMGDBL& d, const IMGCOR& rgb) {
  for (int k : {3, 7, 11, 15}) {
    IMGFLT ker = random_kernel(k, k, k);
    row(
        fmt("convolucao IMGFLT %gx%g vs filter2D flipped replicate", k, k), k <= 11 ? 1.5 : 2.0,
        [&] { return convolucao(a, ker, 'x'); }, [&] { return filter(a, ker, CV_32F); }, same());
  }
  {
    IMGFLT kf = random_kernel(7, 7, 7);
    IMGDBL ker(kf);
    row(
        "convolucao IMGDBL 7x7 vs filter2D flipped replicate", 1.5,
        [&] { return convolucao(d, ker, 'x'); }, [&] { return filter(d, kf, CV_64F); }, same());
  }
  for (int n : {3, 7, 15}) {
    VETOR<double> k = random_taps(n, n);
    cv::Mat t = reversed_taps(k);
    row(
        fmt("ConvHV IMGFLT %g taps vs sepFilter2D replicate", n), 2.0,
        [&] { return ConvHV(a, k, 'x'); },
        [&] {
          cv::Mat r;
          cv::sepFilter2D(view(a), r, CV_32F, t, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          return r;
        },
        same());
  }
  {
    VETOR<double> k = random_taps(7, 77);
    cv::Mat t = reversed_taps(k);
    row(
        "ConvHV IMGDBL 7 taps vs sepFilter2D replicate", 2.0, [&] { return ConvHV(d, k, 'x'); },
        [&] {
          cv::Mat r;
          cv::sepFilter2D(view(d), r, CV_64F, t, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          return r;
        },
        same());
  }
  {
    // Channels on the 0..255 scale, edges continued: sepFilter2D on 8UC3 (rounded to bytes).
    VETOR<double> k = VETORnormal(1.5);
    cv::Mat t = reversed_taps(k);
    row(
        "ConvHV IMGCOR 13 taps vs sepFilter2D 8UC3 replicate", 2.0, [&] { return ConvHV(rgb, k); },
        [&] {
          cv::Mat r;
          cv::sepFilter2D(view(rgb), r, -1, t, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          return r;
        },
        same());
  }
  // GaussianBlur with ksize 2R+1, R = trunc(4 sigma): the same sampled, normalised taps.
  auto gauss = [](const cv::Mat& src, double sigma) {
    int r = static_cast<int>(4 * sigma);
    cv::Mat out;
    cv::GaussianBlur(src, out, cv::Size(2 * r + 1, 2 * r + 1), sigma, sigma, cv::BORDER_REPLICATE);
    return out;
  };
  for (double s : {1.0, 2.0, 4.0})
    row(
        fmt("ConvGaussHV IMGFLT sigma %g vs GaussianBlur replicate", s), 2.0,
        [&] { return ConvGaussHV(a, s, 'x'); }, [&] { return gauss(view(a), s); }, same());
  row(
      "ConvGaussHV IMGDBL sigma 2 vs GaussianBlur replicate", 2.0,
      [&] { return ConvGaussHV(d, 2.0, 'x'); }, [&] { return gauss(view(d), 2.0); }, same());
  row(
      "ConvGaussHV IMGCOR sigma 2 vs GaussianBlur 8UC3 replicate", 2.0,
      [&] { return ConvGaussHV(rgb, 2.0); }, [&] { return gauss(view(rgb), 2.0); }, same());
  // ConvGauss keeps the 2-D kernel: filter2D with that kernel.
  for (double s : {1.0, 2.0}) {
    IMGFLT ker = IMGFLTnormal(s);
    row(
        fmt("ConvGauss IMGFLT sigma %g (%gx%g) vs filter2D same kernel", s, ker.nl, ker.nc), 1.5,
        [&] { return ConvGauss(a, s, 'x'); }, [&] { return filter(a, ker, CV_32F); }, same());
  }
}

void gradients(const IMGFLT& a, const IMGDBL& d) {
  // 2-D path (theta 0): convolucao with the 11x11 derivative kernel = filter2D with it flipped.
  IMGFLT kx = IMGFLTgrxnormal(1.0, 0.0), ky = IMGFLTgrynormal(1.0, 0.0);
  row(
      "gradientex IMGFLT s1 t0 vs filter2D 11x11", 2.0, [&] { return gradientex(a, 1.0, 0.0); },
      [&] { return filter(a, kx, CV_32F); }, same());
  {
    IMGDBL kd = IMGDBLgrxnormal(1.0, 0.0);
    cv::Mat kf;
    cv::flip(view(kd), kf, -1);
    row(
        "gradientex IMGDBL s1 t0 vs filter2D 11x11", 2.0, [&] { return gradientex(d, 1.0, 0.0); },
        [&] {
          cv::Mat r;
          cv::filter2D(view(d), r, CV_64F, kf, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          return r;
        },
        same());
  }
  row(
      "modgrad IMGFLT s1 t0 vs 2x filter2D 11x11 + magnitude", 2.0,
      [&] { return modgrad(a, 1.0, 0.0); },
      [&] {
        cv::Mat gx = filter(a, kx, CV_32F), gy = filter(a, ky, CV_32F), r;
        cv::magnitude(gx, gy, r);
        return r;
      },
      same());
  // Separable path (theta < 0): ConvGaussHV, then sigma/2 times the central difference.
  const double s = 2.0;
  int rad = static_cast<int>(4 * s);
  cv::Size ks(2 * rad + 1, 2 * rad + 1);
  cv::Mat dx = (cv::Mat_<float>(1, 3) << -s / 2, 0, s / 2);
  cv::Mat dy = (cv::Mat_<float>(3, 1) << s / 2, 0, -s / 2);  // upper minus lower
  row(
      "gradientex IMGFLT s2 t-1 vs GaussianBlur + filter2D 1x3", 2.0,
      [&] { return gradientex(a, s, -1.0); },
      [&] {
        cv::Mat g, r;
        cv::GaussianBlur(view(a), g, ks, s, s, cv::BORDER_REPLICATE);
        cv::filter2D(g, r, CV_32F, dx, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        return r;
      },
      same());
  // Ours smooths once per derivative; the peer chain smooths once, as a user would write it.
  row(
      "modgrad IMGFLT s2 t-1 vs GaussianBlur + 2 filter2D + magnitude", 2.0,
      [&] { return modgrad(a, s, -1.0); },
      [&] {
        cv::Mat g, gx, gy, r;
        cv::GaussianBlur(view(a), g, ks, s, s, cv::BORDER_REPLICATE);
        cv::filter2D(g, gx, CV_32F, dx, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        cv::filter2D(g, gy, CV_32F, dy, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        cv::magnitude(gx, gy, r);
        return r;
      },
      same());
  {
    // divergente = ConvH(entx, k, 'x') - ConvV(enty, k, 'x'): two sepFilter2D and a subtract.
    IMGFLT ex = a, ey = float_image(a.nl, a.nc, 9);
    VETOR<double> k = DivergenteF::normal1(1.0);
    cv::Mat t = reversed_taps(k), one = cv::Mat::ones(1, 1, CV_64F);
    row(
        "divergente IMGFLT s1 vs 2 sepFilter2D 11 taps + subtract", 2.0,
        [&] { return divergente(ex, ey, 1.0); },
        [&] {
          cv::Mat h, v, r;
          cv::sepFilter2D(view(ex), h, CV_32F, t, one, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::sepFilter2D(view(ey), v, CV_32F, one, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::subtract(h, v, r);
          return r;
        },
        same());
  }
}

// One xonepassdifusao step, conductance '1' (1/(1 + d^2/K^2)): per neighbour a filter2D
// difference (replicate), the conductance by multiply/scale/divide, summed; out = in + dt/4 sum.
void diffusion(const IMGDBL& in) {
  const double K = 0.05, dt = 0.2;
  cv::Mat kn = (cv::Mat_<double>(3, 1) << 1, -1, 0), ks = (cv::Mat_<double>(3, 1) << 0, -1, 1);
  cv::Mat kw = (cv::Mat_<double>(1, 3) << 1, -1, 0), ke = (cv::Mat_<double>(1, 3) << 0, -1, 1);
  row(
      "xonepassdifusao IMGDBL '1' vs 4x(filter2D,mul,scale,div)+scaleAdd", 2.0,
      [&] {
        IMGDBL out;
        xonepassdifusao(in, out, K, '1', dt);
        return out;
      },
      [&] {
        cv::Mat sum = cv::Mat::zeros(in.nl, in.nc, CV_64F), d, t, term, out;
        for (const cv::Mat* k : {&kn, &ks, &kw, &ke}) {
          cv::filter2D(view(in), d, CV_64F, *k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::multiply(d, d, t);
          t.convertTo(t, CV_64F, 1 / (K * K), 1.0);
          cv::divide(d, t, term);
          sum += term;
        }
        cv::scaleAdd(sum, dt * 0.25, view(in), out);
        return out;
      },
      same());
}

// One tv_lambda iteration and the final u, as OpenCV calls: div(p) and grad by filter2D with
// difference kernels (zero border), the step by scaleAdd, the projection by max/min, u by
// scaleAdd. p is two float planes as in the library's IMGCPX.
void total_variation(const IMGDBL& f) {
  const double lambda = 0.1;
  int nl = f.nl, nc = f.nc;
  cv::Mat fwd_x = (cv::Mat_<double>(1, 2) << -1, 1), fwd_y = (cv::Mat_<double>(2, 1) << 1, -1);
  auto div = [&](const cv::Mat& px, const cv::Mat& py) {
    cv::Mat x, y, r;
    cv::filter2D(px, x, CV_32F, fwd_x, cv::Point(1, 0), 0, cv::BORDER_CONSTANT);  // p(c)-p(c-1)
    cv::filter2D(py, y, CV_32F, fwd_y, cv::Point(0, 0), 0, cv::BORDER_CONSTANT);  // p(r)-p(r+1)
    cv::add(x, y, r, cv::noArray(), CV_64F);
    return r;
  };
  row(
      "tv_lambda IMGDBL 1 iteration vs filter2D/scaleAdd/max/min chain", 2.0,
      [&] { return tv_lambda(f, lambda, 1, false); },
      [&] {
        cv::Mat px = cv::Mat::zeros(nl, nc, CV_32F), py = cv::Mat::zeros(nl, nc, CV_32F);
        cv::Mat g, qx, qy, u;
        cv::scaleAdd(view(f), -1.0 / lambda, div(px, py), g);
        cv::filter2D(g, qx, CV_64F, fwd_x, cv::Point(0, 0), 0, cv::BORDER_CONSTANT);  // g(c+1)-g(c)
        cv::filter2D(g, qy, CV_64F, fwd_y, cv::Point(0, 1), 0, cv::BORDER_CONSTANT);  // g(r-1)-g(r)
        for (cv::Mat* q : {&qx, &qy}) {
          q->convertTo(*q, CV_32F);
          q->row(0).setTo(0);
          q->col(nc - 1).setTo(0);
        }
        cv::scaleAdd(qx, 0.225f, px, px);
        cv::scaleAdd(qy, 0.225f, py, py);
        for (cv::Mat* p : {&px, &py}) {
          cv::max(*p, -1.0, *p);
          cv::min(*p, 1.0, *p);
        }
        cv::scaleAdd(div(px, py), -lambda, view(f), u);
        return u;
      },
      same());
}

void pointwise(int n) {
  IMGFLT a = float_image(n, n, 21), b = float_image(n, n, 22);
  for (int i = 0; i < n * n; i++) b.data[i] += 0.5f;
  cv::Mat A = view(a), B = view(b);
  auto binary = [&](const char* label, auto ours, auto peer) {
    row(
        std::string(label) + fmt(" IMGFLT %gx%g into a fresh Mat", n, n), 1.2, ours,
        [&] {
          cv::Mat r;
          peer(r);
          return r;
        },
        same());
  };
  binary(
      "a + b vs add", [&] { return a + b; }, [&](cv::Mat& r) { cv::add(A, B, r); });
  binary(
      "a - b vs subtract", [&] { return a - b; }, [&](cv::Mat& r) { cv::subtract(A, B, r); });
  binary(
      "a * b vs multiply", [&] { return a * b; }, [&](cv::Mat& r) { cv::multiply(A, B, r); });
  binary(
      "a / b vs divide", [&] { return a / b; }, [&](cv::Mat& r) { cv::divide(A, B, r); });
  binary(
      "a && b (min) vs min", [&] { return a && b; }, [&](cv::Mat& r) { cv::min(A, B, r); });
  binary(
      "a || b (max) vs max", [&] { return a || b; }, [&](cv::Mat& r) { cv::max(A, B, r); });
  {
    // Whole-image equality of equal copies (every pixel read): compare + countNonZero.
    IMGFLT c = a;
    row(
        fmt("a == b (equal copies) IMGFLT %gx%g vs compare NE + countNonZero", n, n), 1.2,
        [&] { return a == c; },
        [&] {
          cv::Mat ne;
          cv::compare(A, view(c), ne, cv::CMP_NE);
          return cv::countNonZero(ne) == 0;
        },
        [](bool x, bool y) { return fmt("ours %g, peer %g", x, y); });
  }
  auto close = [](double x, double y) { return fmt("ours %.10g, peer %.10g", x, y); };
  row(
      fmt("media IMGFLT %gx%g vs cv::mean", n, n), 1.5, [&] { return media(a); },
      [&] { return cv::mean(A)[0]; }, close);
  row(
      fmt("desvio IMGFLT %gx%g vs meanStdDev (n-1 divisor applied)", n, n), 1.5,
      [&] { return desvio(a); },
      [&] {
        cv::Scalar m, s;
        cv::meanStdDev(A, m, s);
        double cnt = static_cast<double>(A.total());
        return s[0] * std::sqrt(cnt / (cnt - 1));
      },
      close);
  // In place on work copies: the L1 norm, then every pixel scaled.
  IMGFLT wa = a;
  cv::Mat wp = view(a).clone();
  row(
      fmt("SomatoriaUm IMGFLT %gx%g vs norm L1 + scale in place", n, n), 1.5,
      [&] {
        SomatoriaUm(wa);
        return wa.data[0];
      },
      [&] {
        double s = cv::norm(wp, cv::NORM_L1);
        wp.convertTo(wp, CV_32F, 1 / s);
        return wp.at<float>(0);
      },
      [](float x, float y) { return fmt("first pixel ours %.8g, peer %.8g", x, y); });
}

}  // namespace

int main() {
  cv::setNumThreads(1);
  int n = base_size();
  std::printf("filters: %dx%d IMGFLT/IMGDBL (pointwise %dx%d), one thread each\n", n, n,
              large_size(), large_size());
  IMGFLT a = float_image(n, n);
  IMGDBL d = double_image(n, n);
  IMGCOR rgb(n, n);
  {
    IMGGRY r = grey_image(n, n, 1), g = grey_image(n, n, 2), b = grey_image(n, n, 3);
    for (int i = 0; i < n * n; i++) rgb.data[i] = COR{r.data[i], g.data[i], b.data[i]};
  }
  convolutions(a, d, rgb);
  gradients(a, d);
  diffusion(d);
  total_variation(d);
  pointwise(large_size());
  return 0;
}
