#pragma once
// Body-size covariates. Weight in kg, height in cm; results in kg or kg/m².
// Nothing is checked: a zero height gives what the division gives.

namespace pkcore {

double BMI(double Weight, double Height);
double JLBM(double weight, double height, bool MALE);    // James
double JanLBM(double weight, double height, bool MALE);  // Janmahasatian
double JJLBM(double weight, double height, bool MALE);   // James, adjusted above a BMI threshold

}  // namespace pkcore
