// An int field that also reads as an accessor: `x.n` and `x.n()` give the same value.
#pragma once

#pragma GCC visibility push(default)

struct IntField {
  int v;

  constexpr operator int() const { return v; }
  constexpr int operator()() const { return v; }
  IntField& operator=(int x) {
    v = x;
    return *this;
  }
  IntField& operator+=(int x) {
    v += x;
    return *this;
  }
  IntField& operator-=(int x) {
    v -= x;
    return *this;
  }
  IntField& operator++() {
    ++v;
    return *this;
  }
  IntField& operator--() {
    --v;
    return *this;
  }
  int operator++(int) { return v++; }
  int operator--(int) { return v--; }
};

static_assert(sizeof(IntField) == sizeof(int), "IntField must stay one int");

#pragma GCC visibility pop
