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

// divergente = ConvH(entx, k, 'x') - ConvV(enty, k, 'x'): two sepFilter2D and a subtract.
template <class Img>
void divergence_row(const Img& ex, const Img& ey, double sigma, const VETOR<double>& k,
                    const char* type) {
  cv::Mat t = reversed_taps(k), one = cv::Mat::ones(1, 1, CV_64F);
  int depth = view(ex).depth();
  row(
      std::string("divergente ") + type +
          fmt(" s%g vs 2 sepFilter2D %g taps + subtract", sigma, k.n),
      2.0, [&] { return divergente(ex, ey, sigma); },
      [&] {
        cv::Mat h, v, r;
        cv::sepFilter2D(view(ex), h, depth, t, one, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        cv::sepFilter2D(view(ey), v, depth, one, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        cv::subtract(h, v, r);
        return r;
      },
      same());
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
  divergence_row(a, float_image(a.nl, a.nc, 9), 1.0, DivergenteF::normal1(1.0), "IMGFLT");
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
  // The peer chain of one iteration with projection step `step`.
  auto chain = [&](float step) {
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
    cv::scaleAdd(qx, step, px, px);
    cv::scaleAdd(qy, step, py, py);
    for (cv::Mat* p : {&px, &py}) {
      cv::max(*p, -1.0, *p);
      cv::min(*p, 1.0, *p);
    }
    cv::scaleAdd(div(px, py), -lambda, view(f), u);
    return u;
  };
  row(
      "tv_lambda IMGDBL 1 iteration vs filter2D/scaleAdd/max/min chain", 2.0,
      [&] { return tv_lambda(f, lambda, 1, false); }, [&] { return chain(0.225f); }, same());
  // tv_lambda2: the other step.
  row(
      "tv_lambda2 IMGDBL 1 iteration vs filter2D/scaleAdd/max/min chain", 2.0,
      [&] { return tv_lambda2(f, lambda, 1, false); }, [&] { return chain(0.125f); }, same());
  {
    // The operators alone.
    IMGCPX p(float_image(nl, nc, 3), float_image(nl, nc, 4));
    cv::Mat planes[2];
    cv::split(view(p), planes);
    row(
        "TV::div IMGCPX vs 2 filter2D + add", 2.0, [&] { return TV::div(p); },
        [&] { return div(planes[0], planes[1]); },
        [](const IMGDBL&, const cv::Mat&) { return std::string("no check"); });
    row(
        "TV::grad IMGDBL vs 2 filter2D + merge", 2.0, [&] { return TV::grad(f); },
        [&] {
          cv::Mat qx, qy, r;
          cv::filter2D(view(f), qx, CV_64F, fwd_x, cv::Point(0, 0), 0, cv::BORDER_CONSTANT);
          cv::filter2D(view(f), qy, CV_64F, fwd_y, cv::Point(0, 1), 0, cv::BORDER_CONSTANT);
          qx.convertTo(qx, CV_32F);
          qy.convertTo(qy, CV_32F);
          cv::Mat pl[2] = {qx, qy};
          cv::merge(pl, 2, r);
          return r;
        },
        [](const IMGCPX&, const cv::Mat&) { return std::string("no check"); });
  }
}

// meanStdDev's deviation with the n - 1 divisor.
double sample_deviation(const cv::Mat& m) {
  cv::Scalar mean, sd;
  cv::meanStdDev(m, mean, sd);
  double cnt = static_cast<double>(m.total());
  return sd[0] * std::sqrt(cnt / (cnt - 1));
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
      [&] { return desvio(a); }, [&] { return sample_deviation(A); }, close);
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

// Convolution family: other shapes, sizes, border modes and types.
void more_convolutions(const IMGFLT& a, const IMGDBL& d, const IMGCOR& rgb) {
  struct K {
    int nl, nc;
  };
  for (K k : {K{5, 5}, K{9, 9}, K{3, 11}, K{11, 3}, K{1, 15}, K{21, 21}, K{4, 4}}) {
    IMGFLT ker = random_kernel(k.nl, k.nc, k.nl * 31 + k.nc);
    row(
        fmt("convolucao IMGFLT %gx%g vs filter2D flipped replicate", k.nl, k.nc),
        std::max(k.nl, k.nc) <= 11 ? 1.5 : 2.0, [&] { return convolucao(a, ker, 'x'); },
        [&] { return filter(a, ker, CV_32F); }, same());
  }
  {
    // Mode 'n': the outside value (0) beyond the edges, as BORDER_CONSTANT.
    IMGFLT ker = random_kernel(7, 7, 7);
    cv::Point anchor;
    cv::Mat kf = flipped(ker, anchor);
    row(
        "convolucao IMGFLT 7x7 'n' vs filter2D flipped constant 0", 1.5,
        [&] { return convolucao(a, ker, 'n'); },
        [&] {
          cv::Mat r;
          cv::filter2D(view(a), r, CV_32F, kf, anchor, 0, cv::BORDER_CONSTANT);
          return r;
        },
        same());
    row(
        "convolucao IMGFLT 7x7 'r' (wrap) vs filter2D flipped reflect (no wrap in filter2D)", 1.5,
        [&] { return convolucao(a, ker, 'r'); },
        [&] {
          cv::Mat r;
          cv::filter2D(view(a), r, CV_32F, kf, anchor, 0, cv::BORDER_REFLECT_101);
          return r;
        },
        [](const IMGFLT&, const cv::Mat&) { return std::string("other border: no check"); });
  }
  for (int k : {3, 15}) {
    IMGFLT kf = random_kernel(k, k, k + 100);
    IMGDBL ker(kf);
    row(
        fmt("convolucao IMGDBL %gx%g vs filter2D flipped replicate", k, k), k <= 11 ? 1.5 : 2.0,
        [&] { return convolucao(d, ker, 'x'); }, [&] { return filter(d, kf, CV_64F); }, same());
  }
  {
    // Fixed kernels.
    IMGFLT lap = laplace8(), sob = sobel('x');
    row(
        "convolucao IMGFLT laplace8 vs filter2D flipped replicate", 1.5,
        [&] { return convolucao(a, lap, 'x'); }, [&] { return filter(a, lap, CV_32F); }, same());
    row(
        "convolucao IMGFLT sobel x vs filter2D flipped replicate", 1.5,
        [&] { return convolucao(a, sob, 'x'); }, [&] { return filter(a, sob, CV_32F); }, same());
  }
  auto sep = [](const auto& img, const cv::Mat& tx, const cv::Mat& ty, int depth, int border) {
    cv::Mat r;
    cv::sepFilter2D(view(img), r, depth, tx, ty, cv::Point(-1, -1), 0, border);
    return r;
  };
  cv::Mat one = cv::Mat::ones(1, 1, CV_64F);
  for (int n : {5, 31}) {
    VETOR<double> k = random_taps(n, n + 50);
    cv::Mat t = reversed_taps(k);
    row(
        fmt("ConvHV IMGFLT %g taps vs sepFilter2D replicate", n), 2.0,
        [&] { return ConvHV(a, k, 'x'); },
        [&] { return sep(a, t, t, CV_32F, cv::BORDER_REPLICATE); }, same());
  }
  for (int n : {3, 15, 31}) {
    VETOR<double> k = random_taps(n, n + 70);
    cv::Mat t = reversed_taps(k);
    row(
        fmt("ConvHV IMGDBL %g taps vs sepFilter2D replicate", n), 2.0,
        [&] { return ConvHV(d, k, 'x'); },
        [&] { return sep(d, t, t, CV_64F, cv::BORDER_REPLICATE); }, same());
  }
  {
    VETOR<double> k = random_taps(7, 7);
    cv::Mat t = reversed_taps(k);
    row(
        "ConvHV IMGFLT 7 taps 'n' vs sepFilter2D constant 0", 2.0,
        [&] { return ConvHV(a, k, 'n'); },
        [&] { return sep(a, t, t, CV_32F, cv::BORDER_CONSTANT); }, same());
    row(
        "ConvH IMGFLT 7 taps vs sepFilter2D row only replicate", 2.0,
        [&] { return ConvH(a, k, 'x'); },
        [&] { return sep(a, t, one, CV_32F, cv::BORDER_REPLICATE); }, same());
    row(
        "ConvV IMGFLT 7 taps vs sepFilter2D column only replicate", 2.0,
        [&] { return ConvV(a, k, 'x'); },
        [&] { return sep(a, one, t, CV_32F, cv::BORDER_REPLICATE); }, same());
    row(
        "ConvH IMGDBL 7 taps vs sepFilter2D row only replicate", 2.0,
        [&] { return ConvH(d, k, 'x'); },
        [&] { return sep(d, t, one, CV_64F, cv::BORDER_REPLICATE); }, same());
    row(
        "ConvV IMGDBL 7 taps vs sepFilter2D column only replicate", 2.0,
        [&] { return ConvV(d, k, 'x'); },
        [&] { return sep(d, one, t, CV_64F, cv::BORDER_REPLICATE); }, same());
  }
  for (double sg : {0.5, 1.0, 4.0}) {
    // Random taps as well as sampled Gaussians (the peer may pick a symmetric path for those).
    VETOR<double> k = VETORnormal(sg);
    cv::Mat t = reversed_taps(k);
    row(
        fmt("ConvHV IMGCOR %g taps (normal %g) vs sepFilter2D 8UC3 replicate", k.n, sg), 2.0,
        [&] { return ConvHV(rgb, k); }, [&] { return sep(rgb, t, t, -1, cv::BORDER_REPLICATE); },
        same());
  }
  {
    VETOR<double> k = random_taps(7, 99);
    for (int i = 0; i < 7; i++) k.data[i] += 1.0 / 7;  // mostly positive, sum near 1
    cv::Mat t = reversed_taps(k);
    row(
        "ConvHV IMGCOR 7 random taps vs sepFilter2D 8UC3 replicate", 2.0,
        [&] { return ConvHV(rgb, k); }, [&] { return sep(rgb, t, t, -1, cv::BORDER_REPLICATE); },
        same());
  }
  auto gauss = [](const cv::Mat& src, double sigma, int border) {
    int r = static_cast<int>(4 * sigma);
    cv::Mat out;
    cv::GaussianBlur(src, out, cv::Size(2 * r + 1, 2 * r + 1), sigma, sigma, border);
    return out;
  };
  for (double sg : {0.5, 8.0})
    row(
        fmt("ConvGaussHV IMGFLT sigma %g vs GaussianBlur replicate", sg), 2.0,
        [&] { return ConvGaussHV(a, sg, 'x'); },
        [&] { return gauss(view(a), sg, cv::BORDER_REPLICATE); }, same());
  for (double sg : {1.0, 4.0}) {
    row(
        fmt("ConvGaussHV IMGDBL sigma %g vs GaussianBlur replicate", sg), 2.0,
        [&] { return ConvGaussHV(d, sg, 'x'); },
        [&] { return gauss(view(d), sg, cv::BORDER_REPLICATE); }, same());
    row(
        fmt("ConvGaussHV IMGCOR sigma %g vs GaussianBlur 8UC3 replicate", sg), 2.0,
        [&] { return ConvGaussHV(rgb, sg); },
        [&] { return gauss(view(rgb), sg, cv::BORDER_REPLICATE); }, same());
  }
  row(
      "ConvGaussHV IMGCOR sigma 0.7 vs GaussianBlur 8UC3 replicate", 2.0,
      [&] { return ConvGaussHV(rgb, 0.7); },
      [&] { return gauss(view(rgb), 0.7, cv::BORDER_REPLICATE); }, same());
  row(
      "ConvGaussHV IMGFLT sigma 2 'n' (outside 0.5) vs GaussianBlur constant", 2.0,
      [&] { return ConvGaussHV(a, 2.0, 'n'); },
      [&] { return gauss(view(a), 2.0, cv::BORDER_CONSTANT); },
      [](const IMGFLT&, const cv::Mat&) { return std::string("outside 0.5 vs 0: no check"); });
  for (double sg : {0.5, 3.0}) {
    IMGFLT ker = IMGFLTnormal(sg);
    row(
        fmt("ConvGauss IMGFLT sigma %g (%gx%g) vs filter2D same kernel", sg, ker.nl, ker.nc), 1.5,
        [&] { return ConvGauss(a, sg, 'x'); }, [&] { return filter(a, ker, CV_32F); }, same());
  }
  {
    IMGFLT ker = IMGFLTnormal(1.0);
    row(
        "ConvGauss IMGDBL sigma 1 (9x9) vs filter2D same kernel", 1.5,
        [&] { return ConvGauss(d, 1.0, 'x'); }, [&] { return filter(d, ker, CV_64F); }, same());
  }
  {
    IMGFLT ker = IMGFLTnormal(3.0);
    row(
        "ConvGauss IMGDBL sigma 3 (25x25) vs filter2D same kernel", 1.5,
        [&] { return ConvGauss(d, 3.0, 'x'); }, [&] { return filter(d, ker, CV_64F); },
        [](const IMGDBL&, const cv::Mat&) { return std::string("float kernel: no check"); });
  }
  {
    IMGFLT ker = IMGFLTlapnormal(1.0);
    row(
        fmt("laplace IMGFLT sigma 1 (%gx%g) vs filter2D same kernel", ker.nl, ker.nc), 1.5,
        [&] { return laplace(a, 1.0); }, [&] { return filter(a, ker, CV_32F); }, same());
  }
}

void more_gradients(const IMGFLT& a, const IMGDBL& d) {
  auto nocheck = [](const auto&, const cv::Mat&) { return std::string("no check"); };
  {
    IMGFLT ky = IMGFLTgrynormal(1.0, 0.0);
    row(
        "gradientey IMGFLT s1 t0 vs filter2D 11x11", 2.0, [&] { return gradientey(a, 1.0, 0.0); },
        [&] { return filter(a, ky, CV_32F); }, same());
    IMGFLT kx2 = IMGFLTgrxnormal(2.0, 0.0);
    row(
        fmt("gradientex IMGFLT s2 t0 vs filter2D %gx%g", kx2.nl, kx2.nc), 2.0,
        [&] { return gradientex(a, 2.0, 0.0); }, [&] { return filter(a, kx2, CV_32F); }, same());
    IMGFLT kr = IMGFLTgrxnormal(1.0, 0.5);
    row(
        "gradientex IMGFLT s1 t0.5 (rotated) vs filter2D 11x11", 2.0,
        [&] { return gradientex(a, 1.0, 0.5); }, [&] { return filter(a, kr, CV_32F); }, same());
  }
  {
    IMGDBL ky = IMGDBLgrynormal(1.0, 0.0), kx = IMGDBLgrxnormal(1.0, 0.0);
    IMGFLT kyf(ky), kxf(kx);
    row(
        "gradientey IMGDBL s1 t0 vs filter2D 11x11", 2.0, [&] { return gradientey(d, 1.0, 0.0); },
        [&] { return filter(d, kyf, CV_64F); }, nocheck);
    row(
        "modgrad IMGDBL s1 t0 vs 2x filter2D 11x11 + magnitude", 2.0,
        [&] { return modgrad(d, 1.0, 0.0); },
        [&] {
          cv::Mat gx = filter(d, kxf, CV_64F), gy = filter(d, kyf, CV_64F), r;
          cv::magnitude(gx, gy, r);
          return r;
        },
        nocheck);
  }
  {
    const double s = 1.0;
    int rad = static_cast<int>(4 * s);
    cv::Size ks(2 * rad + 1, 2 * rad + 1);
    cv::Mat dy = (cv::Mat_<float>(3, 1) << s / 2, 0, -s / 2);
    row(
        "gradientey IMGFLT s1 t-1 vs GaussianBlur + filter2D 3x1", 2.0,
        [&] { return gradientey(a, s, -1.0); },
        [&] {
          cv::Mat g, r;
          cv::GaussianBlur(view(a), g, ks, s, s, cv::BORDER_REPLICATE);
          cv::filter2D(g, r, CV_32F, dy, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          return r;
        },
        same());
  }
  {
    IMGDBL kd = IMGDBLgrxnormal(2.0, 0.0);
    IMGFLT kf(kd);
    row(
        fmt("gradientex IMGDBL s2 t0 vs filter2D %gx%g", kd.nl, kd.nc), 2.0,
        [&] { return gradientex(d, 2.0, 0.0); }, [&] { return filter(d, kf, CV_64F); }, nocheck);
    IMGFLT kx = IMGFLTgrxnormal(1.0, 0.5), ky = IMGFLTgrynormal(1.0, 0.5);
    row(
        "modgrad IMGFLT s1 t0.5 (rotated) vs 2x filter2D 11x11 + magnitude", 2.0,
        [&] { return modgrad(a, 1.0, 0.5); },
        [&] {
          cv::Mat gx = filter(a, kx, CV_32F), gy = filter(a, ky, CV_32F), r;
          cv::magnitude(gx, gy, r);
          return r;
        },
        same());
  }
  divergence_row(a, float_image(a.nl, a.nc, 9), 2.0, DivergenteF::normal1(2.0), "IMGFLT");
  divergence_row(d, double_image(d.nl, d.nc, 9), 1.0, DivergenteD::normal1(1.0), "IMGDBL");
}

// Other conductances and the step that leaves outside neighbours out, against the same chain.
void more_diffusion(const IMGDBL& in) {
  const double K = 0.05, dt = 0.2;
  cv::Mat kn = (cv::Mat_<double>(3, 1) << 1, -1, 0), ks = (cv::Mat_<double>(3, 1) << 0, -1, 1);
  cv::Mat kw = (cv::Mat_<double>(1, 3) << 1, -1, 0), ke = (cv::Mat_<double>(1, 3) << 0, -1, 1);
  auto chain = [&](char mode, int border) {
    cv::Mat sum = cv::Mat::zeros(in.nl, in.nc, CV_64F), d, t, term, out;
    for (const cv::Mat* k : {&kn, &ks, &kw, &ke}) {
      cv::filter2D(view(in), d, CV_64F, *k, cv::Point(-1, -1), 0, border);
      cv::multiply(d, d, t);
      if (mode == '2') {
        t.convertTo(t, CV_64F, -1 / (2 * K * K));
        cv::exp(t, t);
      } else {
        t.convertTo(t, CV_64F, 1 / (K * K), 1.0);
        cv::divide(1.0, t, t);
      }
      cv::multiply(d, t, term);
      sum += term;
    }
    cv::scaleAdd(sum, dt * 0.25, view(in), out);
    return out;
  };
  auto nocheck = [](const IMGDBL&, const cv::Mat&) { return std::string("no check"); };
  row(
      "xonepassdifusao IMGDBL '2' vs 4x(filter2D,mul,scale,exp,mul)+scaleAdd", 2.0,
      [&] {
        IMGDBL out;
        xonepassdifusao(in, out, K, '2', dt);
        return out;
      },
      [&] { return chain('2', cv::BORDER_REPLICATE); }, nocheck);
  for (char mode : {'t', 'f'})
    row(
        std::string("xonepassdifusao IMGDBL '") + mode + "' vs the '1' chain", 2.0,
        [&] {
          IMGDBL out;
          xonepassdifusao(in, out, K, mode, dt);
          return out;
        },
        [&] { return chain('1', cv::BORDER_REPLICATE); }, nocheck);
  {
    // Gaussian flux: gradients by the 11x11 derivative kernels, conductance of the magnitude,
    // divergence by two 1-D filters.
    const double sg = 1.0;
    cv::Mat kx, ky;
    cv::flip(view(IMGDBLgrxnormal(sg, 0.0)), kx, -1);
    cv::flip(view(IMGDBLgrynormal(sg, 0.0)), ky, -1);
    cv::Mat t = reversed_taps(DivergenteD::normal1(sg)), one = cv::Mat::ones(1, 1, CV_64F);
    row(
        "xonepassgausdif IMGDBL '1' s1 vs 2 filter2D 11x11 + conductance + 2 sepFilter2D", 2.0,
        [&] {
          IMGDBL out;
          xonepassgausdif(in, out, K, '1', dt, sg);
          return out;
        },
        [&] {
          cv::Mat gx, gy, m2, c, fx, fy, h, v, out;
          cv::filter2D(view(in), gx, CV_64F, kx, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::filter2D(view(in), gy, CV_64F, ky, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          m2 = gx.mul(gx) + gy.mul(gy);
          m2.convertTo(c, CV_64F, 1 / (K * K), 1.0);
          cv::divide(1.0, c, c);
          cv::multiply(gx, c, fx);
          cv::multiply(gy, c, fy);
          cv::sepFilter2D(fx, h, CV_64F, t, one, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::sepFilter2D(fy, v, CV_64F, one, t, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
          cv::scaleAdd(h - v, dt, view(in), out);
          return out;
        },
        nocheck);
  }
  for (char mode : {'1', '2'})
    row(
        std::string("onepassdifusao IMGDBL '") + mode + "' vs the chain (constant border)", 2.0,
        [&] {
          IMGDBL out;
          onepassdifusao(in, out, K, mode, dt);
          return out;
        },
        [&] { return chain(mode, cv::BORDER_CONSTANT); }, nocheck);
}

// Pointwise operators of the other types, with scalars, comparisons and reductions.
void more_pointwise(int n) {
  auto fresh = [](auto op) {
    return [op] {
      cv::Mat r;
      op(r);
      return r;
    };
  };
  {
    IMGDBL a = double_image(n, n, 21), b = double_image(n, n, 22);
    for (int i = 0; i < n * n; i++) b.data[i] += 0.5;
    cv::Mat A = view(a), B = view(b);
    auto lab = [n](const char* s) {
      return std::string(s) + fmt(" IMGDBL %gx%g into a fresh Mat", n, n);
    };
    row(
        lab("a + b vs add"), 1.2, [&] { return a + b; },
        fresh([&](cv::Mat& r) { cv::add(A, B, r); }), same());
    row(
        lab("a - b vs subtract"), 1.2, [&] { return a - b; },
        fresh([&](cv::Mat& r) { cv::subtract(A, B, r); }), same());
    row(
        lab("a * b vs multiply"), 1.2, [&] { return a * b; },
        fresh([&](cv::Mat& r) { cv::multiply(A, B, r); }), same());
    row(
        lab("a / b vs divide"), 1.2, [&] { return a / b; },
        fresh([&](cv::Mat& r) { cv::divide(A, B, r); }), same());
    row(
        lab("k * a vs convertTo scale"), 1.2, [&] { return 1.7 * a; },
        fresh([&](cv::Mat& r) { A.convertTo(r, CV_64F, 1.7); }), same());
    row(
        lab("k + a vs add scalar"), 1.2, [&] { return 0.3 + a; },
        fresh([&](cv::Mat& r) { cv::add(A, cv::Scalar(0.3), r); }), same());
    row(
        lab("-a vs multiply by -1"), 1.2, [&] { return -a; },
        fresh([&](cv::Mat& r) { cv::multiply(A, cv::Scalar(-1), r); }), same());
    row(
        lab("!a (1 - a) vs subtract from 1"), 1.2, [&] { return !a; },
        fresh([&](cv::Mat& r) { cv::subtract(cv::Scalar(1), A, r); }), same());
  }
  {
    IMGFLT a = float_image(n, n, 21);
    cv::Mat A = view(a);
    auto lab = [n](const char* s) {
      return std::string(s) + fmt(" IMGFLT %gx%g into a fresh Mat", n, n);
    };
    row(
        lab("k * a vs convertTo scale"), 1.2, [&] { return 1.7 * a; },
        fresh([&](cv::Mat& r) { A.convertTo(r, CV_32F, 1.7); }), same());
    row(
        lab("k + a vs add scalar"), 1.2, [&] { return 0.3 + a; },
        fresh([&](cv::Mat& r) { cv::add(A, cv::Scalar(0.3), r); }), same());
    row(
        lab("-a vs multiply by -1"), 1.2, [&] { return -a; },
        fresh([&](cv::Mat& r) { cv::multiply(A, cv::Scalar(-1), r); }), same());
    row(
        lab("!a (1 - a) vs subtract from 1"), 1.2, [&] { return !a; },
        fresh([&](cv::Mat& r) { cv::subtract(cv::Scalar(1), A, r); }), same());
    row(
        lab("~a vs flip both axes"), 1.2, [&] { return ~a; },
        fresh([&](cv::Mat& r) { cv::flip(A, r, -1); }), same());
    row(
        lab("abs(a) vs abs"), 1.2, [&] { return abs(a); },
        fresh([&](cv::Mat& r) { r = cv::abs(A); }), same());
    row(
        lab("sqrt(a) vs sqrt"), 1.2, [&] { return sqrt(a); },
        fresh([&](cv::Mat& r) { cv::sqrt(A, r); }), same());
    row(
        lab("elev2(a) vs multiply a a"), 1.2, [&] { return elev2(a); },
        fresh([&](cv::Mat& r) { cv::multiply(A, A, r); }), same());
    IMGFLT c = a;
    c.data[static_cast<int64_t>(n) * n - 1] += 1;  // differ at the last pixel only
    row(
        fmt("a != b (last pixel differs) IMGFLT %gx%g vs compare NE + countNonZero", n, n), 1.2,
        [&] { return a != c; },
        [&] {
          cv::Mat ne;
          cv::compare(A, view(c), ne, cv::CMP_NE);
          return cv::countNonZero(ne) != 0;
        },
        [](bool x, bool y) { return fmt("ours %g, peer %g", x, y); });
  }
  {
    IMGGRY a = grey_image(n, n, 21), b = grey_image(n, n, 22);
    cv::Mat A = view(a), B = view(b);
    auto lab = [n](const char* s) {
      return std::string(s) + fmt(" IMGGRY %gx%g into a fresh Mat", n, n);
    };
    row(
        lab("a + b (saturated) vs add"), 1.2, [&] { return a + b; },
        fresh([&](cv::Mat& r) { cv::add(A, B, r); }), same());
    row(
        lab("a - b (saturated) vs subtract"), 1.2, [&] { return a - b; },
        fresh([&](cv::Mat& r) { cv::subtract(A, B, r); }), same());
    row(
        lab("a && b (min) vs min"), 1.2, [&] { return a && b; },
        fresh([&](cv::Mat& r) { cv::min(A, B, r); }), same());
    row(
        lab("a || b (max) vs max"), 1.2, [&] { return a || b; },
        fresh([&](cv::Mat& r) { cv::max(A, B, r); }), same());
    row(
        lab("difabs vs absdiff"), 1.2, [&] { return difabs(a, b); },
        fresh([&](cv::Mat& r) { cv::absdiff(A, B, r); }), same());
    row(
        lab("k + a (int, saturated) vs add scalar"), 1.2, [&] { return 17 + a; },
        fresh([&](cv::Mat& r) { cv::add(A, cv::Scalar(17), r); }), same());
    row(
        lab("k * a (double, rounded) vs convertTo scale"), 1.2, [&] { return 1.3 * a; },
        fresh([&](cv::Mat& r) { A.convertTo(r, CV_8U, 1.3); }), same());
    row(
        lab("-a (255 - a) vs bitwise_not"), 1.2, [&] { return -a; },
        fresh([&](cv::Mat& r) { cv::bitwise_not(A, r); }), same());
    row(
        lab("~a vs flip both axes"), 1.2, [&] { return ~a; },
        fresh([&](cv::Mat& r) { cv::flip(A, r, -1); }), same());
    row(
        fmt("limiariza IMGGRY %gx%g t=128 vs threshold to 0/255", n, n), 1.2,
        [&] { return limiariza(a, 128); },
        fresh([&](cv::Mat& r) { cv::threshold(A, r, 127, 255, cv::THRESH_BINARY); }),
        [](const IMGBIN& o, const cv::Mat& p) { return describe(compare(bytes(o), p)); });
    IMGGRY c = a;
    row(
        fmt("a == b (equal copies) IMGGRY %gx%g vs compare NE + countNonZero", n, n), 1.2,
        [&] { return a == c; },
        [&] {
          cv::Mat ne;
          cv::compare(A, view(c), ne, cv::CMP_NE);
          return cv::countNonZero(ne) == 0;
        },
        [](bool x, bool y) { return fmt("ours %g, peer %g", x, y); });
    IMGGRY lo = a, hi = a;
    for (int64_t i = 0; i < static_cast<int64_t>(n) * n; i++) {
      lo.data[i] = static_cast<unsigned char>(std::min<int>(a.data[i], 254));
      hi.data[i] = static_cast<unsigned char>(lo.data[i] + 1);
    }
    row(
        fmt("a < b (true everywhere) IMGGRY %gx%g vs compare GE + countNonZero", n, n), 1.2,
        [&] { return lo < hi; },
        [&] {
          cv::Mat ge;
          cv::compare(view(lo), view(hi), ge, cv::CMP_GE);
          return cv::countNonZero(ge) == 0;
        },
        [](bool x, bool y) { return fmt("ours %g, peer %g", x, y); });
  }
  {
    IMGCOR c(n / 2, n);
    IMGGRY g = grey_image(n / 2, n, 5);
    for (int64_t i = 0; i < static_cast<int64_t>(n / 2) * n; i++)
      c.data[i] = COR{g.data[i], static_cast<unsigned char>(g.data[i] ^ 0x5a), 7};
    row(
        fmt("-a (colour negative) IMGCOR %gx%g vs bitwise_not 8UC3 into a fresh Mat", n / 2, n),
        1.2, [&] { return -c; }, fresh([&](cv::Mat& r) { cv::bitwise_not(view(c), r); }), same());
  }
  {
    IMGFLT a = float_image(n, n, 21);
    cv::Mat A = view(a);
    row(
        fmt("dcreject IMGFLT %gx%g vs mean + subtract into a fresh Mat", n, n), 1.5,
        [&] { return dcreject(a); }, fresh([&](cv::Mat& r) { cv::subtract(A, cv::mean(A), r); }),
        same());
  }
  {
    IMGCPX a(float_image(n / 2, n, 21), float_image(n / 2, n, 23));
    IMGCPX b(float_image(n / 2, n, 22), float_image(n / 2, n, 24));
    cv::Mat A = view(a), B = view(b);
    auto lab = [n](const char* s) {
      return std::string(s) + fmt(" IMGCPX %gx%g into a fresh Mat", n / 2, n);
    };
    row(
        lab("a + b vs add 32FC2"), 1.2, [&] { return a + b; },
        fresh([&](cv::Mat& r) { cv::add(A, B, r); }), same());
    row(
        lab("a - b vs subtract 32FC2"), 1.2, [&] { return a - b; },
        fresh([&](cv::Mat& r) { cv::subtract(A, B, r); }), same());
    row(
        lab("a * b vs mulSpectrums"), 1.2, [&] { return a * b; },
        fresh([&](cv::Mat& r) { cv::mulSpectrums(A, B, r, 0); }), same());
    row(
        lab("k * a (float) vs multiply scalar"), 1.2, [&] { return 1.7f * a; },
        fresh([&](cv::Mat& r) { cv::multiply(A, cv::Scalar(1.7, 1.7), r); }), same());
  }
}

void more_reductions(int n) {
  auto close = [](double x, double y) { return fmt("ours %.10g, peer %.10g", x, y); };
  IMGFLT a = float_image(n, n, 21);
  IMGDBL d = double_image(n, n, 21);
  IMGGRY g = grey_image(n, n, 21);
  cv::Mat A = view(a), D = view(d), G = view(g);
  row(
      fmt("media IMGGRY %gx%g vs cv::mean", n, n), 1.5, [&] { return media(g); },
      [&] { return cv::mean(G)[0]; }, close);
  row(
      fmt("media IMGDBL %gx%g vs cv::mean", n, n), 1.5, [&] { return media(d); },
      [&] { return cv::mean(D)[0]; }, close);
  row(
      fmt("somatoria IMGDBL %gx%g vs cv::sum", n, n), 1.5, [&] { return somatoria(d); },
      [&] { return cv::sum(D)[0]; }, close);
  row(
      fmt("desvio IMGDBL %gx%g vs meanStdDev (n-1 divisor applied)", n, n), 1.5,
      [&] { return desvio(d); }, [&] { return sample_deviation(D); }, close);
  row(
      fmt("comprimento IMGDBL %gx%g vs norm L2", n, n), 1.5, [&] { return comprimento(d); },
      [&] { return cv::norm(D, cv::NORM_L2); }, close);
  row(
      fmt("comprimento IMGFLT p=2 %gx%g vs norm L2", n, n), 1.5,
      [&] { return comprimento(a, 2.0); }, [&] { return cv::norm(A, cv::NORM_L2); }, close);
  row(
      fmt("comprimento IMGFLT p=1 %gx%g vs norm L1", n, n), 1.5,
      [&] { return comprimento(a, 1.0); }, [&] { return cv::norm(A, cv::NORM_L1); }, close);
  row(
      fmt("comprimento IMGFLT p=inf %gx%g vs norm INF", n, n), 1.5,
      [&] { return comprimento(a, infinito); }, [&] { return cv::norm(A, cv::NORM_INF); }, close);
  row(
      fmt("minimo IMGFLT %gx%g vs minMaxLoc", n, n), 1.5, [&] { return minimo(a); },
      [&] {
        double lo, hi;
        cv::minMaxLoc(A, &lo, &hi);
        return lo;
      },
      close);
  row(
      fmt("maximo IMGFLT %gx%g vs minMaxLoc", n, n), 1.5, [&] { return maximo(a); },
      [&] {
        double lo, hi;
        cv::minMaxLoc(A, &lo, &hi);
        return hi;
      },
      close);
  row(
      fmt("argmax IMGFLT %gx%g vs minMaxLoc", n, n), 1.5, [&] { return argmax(a).lin; },
      [&] {
        double lo, hi;
        cv::Point pl, ph;
        cv::minMaxLoc(A, &lo, &hi, &pl, &ph);
        return ph.y;
      },
      [](double x, double y) { return fmt("row ours %g, peer %g", x, y); });
  {
    IMGBIN b(g);
    cv::Mat bb = bytes(b);
    row(
        fmt("contapreto IMGBIN %gx%g vs countNonZero on 0/255", n, n), 1.5,
        [&] { return contapreto(b); },
        [&] { return static_cast<int>(bb.total()) - cv::countNonZero(bb); },
        [](int x, int y) { return fmt("ours %g, peer %g", x, y); });
  }
  {
    IMGFLT w = a;
    row(
        fmt("normaliza IMGFLT %gx%g vs normalize MINMAX", n, n), 1.5, [&] { return normaliza(w); },
        [&] {
          cv::Mat r;
          cv::normalize(A, r, 0, 1, cv::NORM_MINMAX);
          return r;
        },
        [](const IMGFLT& o, const cv::Mat& p) { return describe(compare(view(o), p)); });
  }
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
  more_convolutions(a, d, rgb);
  gradients(a, d);
  more_gradients(a, d);
  diffusion(d);
  more_diffusion(d);
  total_variation(d);
  pointwise(large_size());
  more_pointwise(large_size());
  more_reductions(large_size());
  return 0;
}
