// Paired timing for figures measured on a shared machine: the two sides of
// a figure run in turns (ours then the peer's, then the other way round),
// each pair gives one ratio, and the figure is the median of those ratios,
// printed with their spread (largest over smallest). A burst of load from
// elsewhere falls on one pair and moves the median little; a spread far
// above 1 says the run was disturbed.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace rvz::bench {

// Seconds of one call of f.
template <class F>
double timed(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct PairedFigure {
  double median = 0;       // median of ours / peer over the pairs
  double spread = 0;       // largest ratio / smallest ratio
  double oursSeconds = 0;  // median time of our side
  double peerSeconds = 0;  // median time of the peer's side
};

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs `pairs` pairs (at least five) of ours() and peer(), alternating which
// goes first. Each callable returns the seconds its measured part took, so
// that set-up work between runs stays out of the figure.
template <class Ours, class Peer>
PairedFigure pairedRatio(Ours&& ours, Peer&& peer, int pairs = 7) {
  pairs = std::max(pairs, 5);
  std::vector<double> ratios, oursTimes, peerTimes;
  for (int i = 0; i < pairs; ++i) {
    double a, b;
    if (i % 2 == 0) {
      a = ours();
      b = peer();
    } else {
      b = peer();
      a = ours();
    }
    oursTimes.push_back(a);
    peerTimes.push_back(b);
    ratios.push_back(b > 0 ? a / b : 0);
  }
  const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
  PairedFigure f;
  f.median = median(ratios);
  f.spread = *lo > 0 ? *hi / *lo : 0;
  f.oursSeconds = median(oursTimes);
  f.peerSeconds = median(peerTimes);
  return f;
}

// Prints "name=median" and "name_spread=max/min".
inline void printFigure(const std::string& name, const PairedFigure& f) {
  std::printf("%s=%.3f\n%s_spread=%.3f\n", name.c_str(), f.median, name.c_str(), f.spread);
  std::fflush(stdout);
}

}  // namespace rvz::bench
