#pragma once
// The drug models' own messages, each written once: the recent models refuse
// patients with them, ModelCheck answers with them, and the function
// declarations list them for the help pages. The covariates' own checks are
// the PK core's (pkcore/messages.h: kFinite, kAboveZero).
#include "pkcore/errors.h"

namespace drugmodels::messages {

using pkcore::Message;

// A recent model refusing a patient it would give a volume or clearance that
// is not positive.
inline constexpr Message kLimit = {
    "{covariate} has to be {below or above} {limit} {unit} for a positive {entry} in {model}, not {value}!",
    "The model does not hold for this patient: take a model whose study included such patients."};
inline constexpr Message kNoFiniteEntry = {"{model} gives no finite {entry} for this patient!",
                                           "Check the covariates and their units (years, kg, cm)."};
inline constexpr Message kNotPositiveEntry = {
    "{model} gives {entry} = {value} {unit} for this patient; it has to be above 0!",
    "The model does not hold for this patient: take a model whose study included such patients."};

// ModelCheck.
inline constexpr Message kNeedsName = {"ModelCheck needs a model's name, such as \"RemiEleveld\"!",
                                       "Give the name of a Corvel function as text, in quotes."};
inline constexpr Message kNoSuchModel = {
    "No model is called \"{name}\": give a Corvel model's function name, such as \"RemiEleveld\"!",
    "Give the name of a Corvel function as text, in quotes."};
inline constexpr Message kNoModelOfThisName = {
    "No model has this name: give a Corvel model's function name, such as \"RemiEleveld\"!",
    "Give the name of a Corvel function as text, in quotes."};
inline constexpr Message kNeedsCovariate = {"{model} needs {covariate}, above 0 {unit}!",
                                            "Give every covariate the model reads."};
inline constexpr Message kNeedsSex = {"{model} needs MALE (1 = male, 0 = female)!", "Give the patient's sex."};
inline constexpr Message kPastJamesPeak = {
    "Weight {weight} kg is past {peak} kg, where James' lean body mass peaks for {height} cm!",
    "James' formula gives a heavier patient less lean mass from here on: take a model that uses another size "
    "descriptor."};
inline constexpr Message kOutsideStudy = {"{covariate} {value} {unit} is outside the study's {range}!",
                                          "The model was not studied in such patients: its result is an "
                                          "extrapolation."};
inline constexpr Message kVanished = {
    "{model} gives {entry} = {value} {unit} for this patient; it has to be at least {limit} {unit}, 5 % of a typical "
    "patient's!",
    "The model is past where its formula means anything for this patient: take a model whose study included such "
    "patients."};
inline constexpr Message kVanishedLighter = {
    "{model} gives {entry} = {value} {unit} for this patient; it has to be at least {limit} {unit}, 5 % of a typical "
    "patient's at {weight} kg!",
    "The model is past where its formula means anything for this patient: take a model whose study included such "
    "patients."};
inline constexpr Message kOutsideStudyNotFinite = {"{covariate} is outside the study's {range}!",
                                                   "Check the covariates and their units (years, kg, cm)."};

}  // namespace drugmodels::messages
