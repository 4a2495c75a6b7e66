#pragma once
// Every message of the PK core, each written once: the routines throw its
// text (filled in where it has a {placeholder}), and the function
// declarations list it, with its remedy, for the help pages.
#include "pkcore/errors.h"

namespace pkcore::messages {

// Models and dosing schemes.
inline constexpr Message kLengths = {"Columns of different length!",
                                     "Select ranges of the same number of rows for every column argument."};
inline constexpr Message kMissingPk = {
    "Negative or missing PK parameter!",
    "Fill in every PK parameter: A and l1 (or V1 and Cl1) above 0, ke0 above 0 where the function takes it, "
    "the others 0 or above (0 leaves a compartment out)."};
inline constexpr Message kNegativePk = {"Negative PK parameter!",
                                        "No PK parameter or ke0 may be negative; 0 leaves a compartment out."};
inline constexpr Message kCheckPk = {"Check PK parameters!",
                                     "A, l1 and ke0 have to be above 0, the other constants 0 or above."};
inline constexpr Message kCheckParameters = {"Check parameters!",
                                             "l1 has to be above 0 and no constant may be negative."};
inline constexpr Message kNegativeStep = {
    "Time steps cannot be negative!",
    "Give every row after the first the time since the row before, 0 or more: the rows run forward in time."};
inline constexpr Message kNeedSix = {
    "We need exactly 6 parameters!",
    "Give six values, V1, V2, V3, Cl1, Cl2, Cl3 (or A, B, C, l1, l2, l3); of a drug model's column with ke0 "
    "take the first six rows."};

// Target-controlled infusion.
inline constexpr Message kMaxRate = {"Maxrate has to be positive!",
                                     "Give the pump's largest rate, above 0, in the unit of the rates (e.g. mg/min)."};
inline constexpr Message kNoRate = {
    "No infusion rate found!",
    "No rate reaches this target within the pump limit's search; check the model, the targets and their units."};

// Peak effect.
inline constexpr Message kNoPeak = {
    "No peak found for this model!",
    "The effect site has no peak: ke0 and at least one of A, B, C have to be above 0, in units that keep the peak "
    "time a number (minutes for most drugs)."};
inline constexpr Message kPeakTime = {"Negative peack time!",
                                      "Give the time to peak effect, above 0, in the model's time unit."};
inline constexpr Message kNoKe0 = {"No ke0 found for this peak time!",
                                   "No ke0 puts the peak at this time for this model; check the time and its unit."};

// Decrement times.
inline constexpr Message kTimesAscending = {"#Times have to be in ascending order!",
                                            "List the infusion durations from the shortest to the longest."};
inline constexpr Message kTimesNegative = {"#Times cannot be negative!", "Give durations of 0 or more."};
inline constexpr Message kTimesRange = {"#Times have to be finite and at most 1e7!",
                                        "Give durations of at most 10 000 000 time units."};
inline constexpr Message kCheckPkOrDecrement = {
    "Check PK parameters and/or decrement!",
    "A, l1 (and ke0) have to be above 0, the other constants 0 or above, and the decrement above 0 %."};
inline constexpr Message kDecrementBelow100 = {"Decrement has to be below 100%!",
                                               "Give the decrement in percent, above 0 and below 100 (50 for half)."};
inline constexpr Message kNoDecrementTime = {
    "No decrement time found for this model!",
    "The concentration does not fall to the level within the range of numbers: check the model's constants "
    "and their units."};
inline constexpr Message kDecrementLevel = {"Decrement concentration has to be positive!",
                                            "Give every row a level above 0, in the unit of the concentrations."};

// Drug effect.
inline constexpr Message kAge = {"Age must be above 0 and at most 150 years!",
                                 "Give the age in years; for a newborn a small number such as 0.01."};
inline constexpr Message kPositive = {"{argument} must be a positive number!", "Give a value above 0."};
inline constexpr Message kConcentration = {"Negative or non-finite concentration in {argument}!",
                                           "Concentrations have to be 0 or above."};
inline constexpr Message kBisRange = {"BIS must be above 0 and below 93!",
                                      "Give BIS values between 0 and the awake baseline 93, both excluded."};
inline constexpr Message kAlphaFinite = {"alpha must be a finite number!", "Give alpha as a number; 0 is additive."};
inline constexpr Message kAlphaTooNegative = {
    "alpha is too negative: U is below 0 at these concentrations!",
    "Antagonism this strong leaves the surface without meaning here: take an alpha closer to 0."};

// Body size, and the covariates of the recent drug models.
inline constexpr Message kFinite = {"{covariate} has to be a finite number!", "Give a number."};
inline constexpr Message kAboveZero = {"{covariate} has to be above 0 {unit}, not {value}!",
                                       "Give the value in the unit named, above 0; an empty cell counts as 0."};
inline constexpr Message kOutOfRange = {"{result} is out of range for these values!",
                                        "The values are too extreme for the formula: check them and their units."};
inline constexpr Message kDevineHeight = {
    "Height has to be at least {limit} cm (5 ft) for Devine's ideal body weight, not {height}!",
    "Devine's formula holds from 5 ft up; for a shorter patient take another size descriptor."};

}  // namespace pkcore::messages

namespace pkcore {

// Throws kFinite or kAboveZero unless value is a positive finite number
// ("Weight", value, "kg").
void RequirePositive(const char* covariate, double value, const char* unit);

}  // namespace pkcore
