// The pointwise table of the kernels named in the namespace that includes this (the plain loops,
// and each level's build of pointwise_body.h). No include guard: included once per namespace.

template <bool Far, size_t... I>
constexpr ZipRow zip_row(std::index_sequence<I...>) {
  return {{zip<static_cast<ByteOp>(I), Far>...}};
}
template <bool Far, size_t... I>
constexpr WithRow with_row(std::index_sequence<I...>) {
  return {{with<static_cast<ByteOp>(I), Far>...}};
}

constexpr Kernels kKernels = {
    .zip = {zip_row<false>(kOps), zip_row<true>(kOps)},
    .with = {with_row<false>(kOps), with_row<true>(kOps)},
    .lookup = lookup,
    .at_least = at_least,
    .sqrt_f = sqrt_f,
    .abs_f = abs_f,
    .scale_f = scale_f,
    .add_f = add_f,
    .sub_f = sub_f,
    .complex_scale = complex_scale,
};
