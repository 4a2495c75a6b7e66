#pragma once
// Whether a model's result can be trusted for a patient. ModelCheck knows no
// model by itself: each model's facts (CheckedModel) are declared with the
// model's worksheet function, and the caller hands over the list.
#include <optional>
#include <string>
#include <vector>

#include "drugmodels/models.h"

namespace drugmodels {

// A patient as ModelCheck sees one (ages in years, kg, cm).
struct Patient {
  double age, weight, height;
  bool male;
};
using TypicalPatient = Patient;

// The covariates ModelCheck takes, as bits of what a model reads.
enum Covariates : unsigned { kAge = 1, kWeight = 2, kHeight = 4, kSex = 8 };

// A range of the study population, bounds included.
struct StudyRange {
  enum Covariate { Age, Weight, Height, Bmi } covariate;
  double low, high;
  const char* shown;  // as the message names it: "2.5 to 106 kg"
};

// What ModelCheck knows of one model.
struct CheckedModel {
  unsigned reads;  // Covariates bits
  // The model for a patient, with a conventional value for anything else it
  // takes (lean body mass after James, a patient rather than a volunteer, ...).
  ParameterSet (*run)(const Patient&);
  // A typical patient of its population: what the model gives this patient
  // is the yardstick for a volume or clearance that has all but vanished.
  Patient typical;
  bool twoCompartments = false;  // V3 and Cl3 are 0 by design
  bool jamesLbm = false;         // reads James' lean body mass
  std::vector<StudyRange> ranges = {};
};

// A model ModelCheck can be asked about, by its function name.
struct NamedModel {
  const char* name;
  const CheckedModel* facts;
};
using Models = std::vector<NamedModel>;

// "OK", or the first reason not to trust the result of `model` (a name of
// `models`, any case) for this patient, in this order:
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
//     patient, for a lighter patient scaled down to the patient's weight: by
//     weight for volumes, by weight^0.75 for clearances.
// 0 stands for an omitted age, weight or height.
std::string ModelCheck(const Models& models, const std::string& model, double age, double weight, double height,
                       std::optional<bool> male);

// The model of that name (any case); throws pkcore::InputError for a name
// that is none of them.
const NamedModel& FindModel(const Models& models, const std::string& model);

}  // namespace drugmodels
