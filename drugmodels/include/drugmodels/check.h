#pragma once
// Whether a model's result can be trusted for a patient.
#include <optional>
#include <string>
#include <vector>

namespace drugmodels {

// "OK", or the first reason not to trust the result of `model` (the name of a
// model function, any case) for this patient, in this order:
//  1. a covariate the model reads that is 0 (omitted) or not a positive finite
//     number, or a missing sex, and a covariate given for nothing that is not
//     a positive finite number: thrown as pkcore::InputError, as is a model
//     name it does not know;
//  2. James' lean body mass past its peak, for the models that read it;
//  3. a volume, clearance or ke0 that is not a positive finite number (the
//     refusals of the recent models included);
//  4. a covariate outside the range of the model's study population, where
//     the range is known;
//  5. a volume or clearance below 5 % of what the model gives its typical
//     patient (TypicalPatientOf), for a lighter patient scaled down to the
//     patient's weight: by weight for volumes, by weight^0.75 for clearances.
// Covariates a model takes that are not among these get a conventional value:
// lean body mass after James (PropSchnider, RemiMinto), a patient rather than
// a volunteer, postmenstrual age = age + 40 weeks, arterial sampling, opioids
// given (PropEleveldFinal). Age, weight and height are in years, kg and cm; 0
// stands for an omitted one.
std::string ModelCheck(const std::string& model, double age, double weight, double height, std::optional<bool> male);

// A typical patient of a model's population (ages in years, kg, cm).
struct TypicalPatient {
  double age, weight, height;
  bool male;
};

// The typical patient of `model` (a model function's name, any case); throws
// pkcore::InputError for a name ModelCheck does not know.
TypicalPatient TypicalPatientOf(const std::string& model);

// The models ModelCheck knows, by their function names.
std::vector<std::string> CheckedModels();

}  // namespace drugmodels
