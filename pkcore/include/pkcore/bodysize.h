#pragma once
// Body-size covariates. Weight in kg, height in cm; results in kg or kg/m².
// Nothing is checked: a zero height gives what the division gives.

namespace pkcore {

double BMI(double Weight, double Height);
double JLBM(double weight, double height, bool MALE);    // James
double JanLBM(double weight, double height, bool MALE);  // Janmahasatian
double JJLBM(double weight, double height, bool MALE);   // James, adjusted above a BMI threshold

// The descriptors below refuse what they cannot use with an InputError: a
// weight, height or age that is not a positive finite number, a result that
// is not finite.

// Fat-free mass after Al-Sallami (children and adults): Janmahasatian's adult
// formula times a maturation factor of age (years, above 0), kg.
double FFMAlSallami(double weight, double height, bool MALE, double age);
// Ideal body weight after Devine, 50 (male) or 45.5 (female) + 2.3 kg per inch
// above 5 ft, kg; adults only, from 152.4 cm (5 ft).
double IBW(double height, bool MALE);
// Adjusted body weight with Devine's IBW: IBW + 0.4 × (weight − IBW), kg.
double ABW(double weight, double height, bool MALE);
// Body surface area after Mosteller, m².
double BSA(double weight, double height);

}  // namespace pkcore
