#pragma once
// Published PK models of anaesthetic drugs. Each returns the model's parameter
// set V1, V2, V3 (L), Cl1, Cl2, Cl3 (L/min) and, for length 7, ke0 (1/min),
// from the patient's covariates: weight in kg, height in cm, ages in years.
// The first six values are a VolClArray for the PK tools. Nothing is validated:
// covariates out of range give whatever the formulas give.
#include <vector>

namespace drugmodels {

using ParameterSet = std::vector<double>;

// Linear and piecewise models.
ParameterSet LidocainSchnider(double weight);
ParameterSet PropSchnider(double age, double weight, double height, double lbm);
ParameterSet PropSchniderTrick(double age, double weight, double height, bool male);
ParameterSet RemiMinto(double age, double lbm);
ParameterSet PropWhite(double age, double weight, bool male);           // length 6
ParameterSet PropMarsh(double weight);                                  // length 6
ParameterSet PropKataria(double weight, double age);                    // length 6; weight first
ParameterSet Diprifusor(double age, double weight);
ParameterSet PropPaedfusor(double age, double weight);                  // length 6
ParameterSet AlfentMaitre(double age, double weight, bool male);        // length 6
ParameterSet AlfentScott();
ParameterSet SufentHudson(double weight);
ParameterSet SufentGepts();                                             // length 6
ParameterSet FentScott(double weight);
ParameterSet KetaDomino(double weight);
ParameterSet MidaGreenblatt(double weight);

// Allometric (Eleveld-type) models.
ParameterSet PropEleveld(double weight, double age, bool male, bool patient);
// The age is not part of the model; it keeps its place in the argument list.
ParameterSet ABP700V1Eleveld(double weight, double age, double height, bool male);
// The patient flag is not part of the final model; it keeps its place.
ParameterSet PropEleveldFinal(double weight, double height, double pma, double age, bool male,
                              bool venous, bool opiates, bool patient);

// Models of today. Unlike the models above, they throw pkcore::InputError for
// an age, weight or height that is not a positive finite number, and for a
// patient to whom the model would give a volume or clearance that is not
// positive (the message names the value and the limit).
ParameterSet RemiEleveld(double age, double weight, double height, bool male);  // remifentanil, with ke0
ParameterSet RemiKim(double age, double weight, double height, bool male);      // remifentanil, length 6
ParameterSet DexHannivoort(double weight);                                      // dexmedetomidine, length 6
ParameterSet DexDyck(double height);  // dexmedetomidine, length 6; adults: refuses 117.2 cm and below
// Propofol from arterial samples during infusions, length 6.
ParameterSet PropSchuttler(double age, double weight);

}  // namespace drugmodels
