// The C++ side of bench/python_bench.py: the same calls as the Python ones,
// made on the PK core directly, as a C++ program makes them (the columns
// passed by value, so copied, as the routines take them), timed here in C++
// so that Python's timing and this one alternate in one process.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <vector>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"

namespace py = pybind11;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<double> Copy(const py::array_t<double, py::array::c_style | py::array::forcecast>& a) {
  return std::vector<double>(a.data(), a.data() + a.size());
}

pkcore::HybridModel Model(const std::vector<double>& h, double ke0) { return {h[0], h[1], h[2], h[3], h[4], h[5], ke0}; }

// Seconds per call of body over repeats calls, without the interpreter lock;
// sink keeps each result.
template <class Body>
double PerCall(int repeats, Body&& body) {
  double sink = 0;
  py::gil_scoped_release unlocked;
  const auto start = Clock::now();
  for (int i = 0; i < repeats; ++i) sink += body();
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  volatile double kept = sink;
  (void)kept;
  return elapsed.count() / repeats;
}

}  // namespace

PYBIND11_MODULE(ambrel_core_bench, m) {
  m.def("TciCe", [](py::array_t<double> dt, py::array_t<double> target, double maxRate, std::vector<double> hybrid,
                    double ke0, int repeats) {
    const std::vector<double> d = Copy(dt), t = Copy(target);
    const pkcore::HybridModel model = Model(hybrid, ke0);
    return PerCall(repeats, [&] { return pkcore::TciCe(d, t, maxRate, model).back(); });
  });
  m.def("PredCp", [](py::array_t<double> dt, py::array_t<double> rate, py::array_t<double> bolus,
                     std::vector<double> hybrid, int repeats) {
    const std::vector<double> d = Copy(dt), r = Copy(rate), b = Copy(bolus);
    const pkcore::HybridModel model = Model(hybrid, 0);
    const pkcore::HybridModel plasma(model.A, model.B, model.C, model.l1, model.l2, model.l3);
    return PerCall(repeats, [&] { return pkcore::PredCp(d, r, b, plasma).back(); });
  });
  m.def("PredCe", [](py::array_t<double> dt, py::array_t<double> rate, py::array_t<double> bolus,
                     std::vector<double> hybrid, double ke0, int repeats) {
    const std::vector<double> d = Copy(dt), r = Copy(rate), b = Copy(bolus);
    const pkcore::HybridModel model = Model(hybrid, ke0);
    return PerCall(repeats, [&] { return pkcore::PredCe(d, r, b, model).back(); });
  });
  m.def("PropSchnider", [](double age, double weight, double height, bool male, int repeats) {
    return PerCall(repeats, [&] {
      return drugmodels::PropSchnider(age, weight, height, pkcore::JLBM(weight, height, male)).back();
    });
  });
}
