#!/usr/bin/env bash
# A propofol anaesthetic planned with the two add-ins, through xlhost:
# a 40-year-old, 70 kg, 170 cm man; Schnider parameters; effect-site TCI at
# 3 ug/mL for 60 minutes in 10-second rows (pump limit 200 mg/min); the
# predicted plasma and effect-site concentrations of those rates; and the
# 50 % context-sensitive decrement times. Units: L, min, mg, mg/L (= ug/mL).
#
# Prints the table and writes it, with its picture (rate, Cp and Ce over the
# 60 minutes, drawn by gnuplot), into OUTDIR: propofol_tci.txt and
# propofol_tci.svg. OUTDIR defaults to this folder, whose copies README shows.
# usage: propofol_tci.sh [XLHOST] [OUTDIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
XLHOST=${1:-"$here/../build/bin/xlhost"}
out=${2:-$here}
mkdir -p "$out"
xl() { "$XLHOST" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Patient and model: JLBM (Ambrel) feeds PropSchnider (Corvel).
mapfile -t pk < <(xl '=PropSchnider(40,70,170,JLBM(70,170,TRUE))')
ke0=${pk[6]}
volcl=$(IFS=';'; echo "${pk[*]:0:6}")
mapfile -t h < <(xl "=Cl2Hyb({$volcl})")
model="${h[0]},${h[1]},${h[2]},${h[3]},${h[4]},${h[5]}"

# 60 minutes in 10-second rows: time steps in minutes, target 3 from row 1 on.
rows=361
dt="0" target="0"
for ((i = 1; i < rows; i++)); do dt+=";0.16666666666666666"; target+=";3"; done
mapfile -t rate < <(xl "=TciCe({$dt},{$target},200,$model,$ke0)")
rates=$(IFS=';'; echo "${rate[*]}")
zeros=$(printf '0;%.0s' $(seq 2 $rows))0
mapfile -t cp < <(xl "=PredCp({$dt},{$rates},{$zeros},$model)")
mapfile -t ce < <(xl "=PredCe({$dt},{$rates},{$zeros},$model,$ke0)")
# Predicted BIS of that course (Eleveld 2018 BIS model, age 40).
mapfile -t bis < <(xl "=BisEleveld({$(IFS=';'; echo "${ce[*]}")},40)")
mapfile -t htCp < <(xl "=CsDtCp({10;20;30;40;50;60},$model,50)")
mapfile -t htCe < <(xl "=CsDtCe({10;20;30;40;50;60},$model,$ke0,50)")

# One row per 10 seconds: time (min), rate over the step before, Cp, Ce and
# BIS at its end.
for ((i = 0; i < rows; i++)); do echo "$i ${rate[$i]} ${cp[$i]} ${ce[$i]} ${bis[$i]}"; done |
  awk '{ printf "%.10g %s %s %s %s\n", $1 / 6, $2, $3, $4, $5 }' > "$work/rows"

{
  printf 'Propofol, Schnider model: 40 years, 70 kg, 170 cm, male\n'
  printf '  V1 %.2f L, V2 %.2f L, V3 %.0f L, Cl1 %.3f L/min, Cl2 %.3f L/min, Cl3 %.3f L/min, ke0 %.3f /min\n\n' \
    "${pk[@]}"
  printf 'Effect-site TCI, target 3 ug/mL, pump limit 200 mg/min\n'
  printf '%9s %16s %16s %12s %12s %8s\n' 'time' 'rate' 'dose in step' 'Cp' 'Ce' 'BIS'
  printf '%9s %16s %16s %12s %12s %8s\n' '(min)' '(mg/min)' '(mg)' '(ug/mL)' '(ug/mL)' ''
  # Every row of the first two minutes, then each minute.
  awk 'NR > 1 { i = NR - 1; total += $2 / 6
         if (i <= 12 || i % 6 == 0) printf "%9.2f %16.2f %16.2f %12.3f %12.3f %8.1f\n", i / 6, $2, $2 / 6, $3, $4, $5 }
       END { printf "\nPropofol given in 60 minutes: %.0f mg\n\n", total }' "$work/rows"
  printf '50 %% context-sensitive decrement times\n'
  printf '%18s %18s %22s\n' 'infusion (min)' 'plasma (min)' 'effect site (min)'
  for ((k = 0; k < 6; k++)); do
    printf '%18d %18.2f %22.2f\n' $((10 * (k + 1))) "${htCp[$k]}" "${htCe[$k]}"
  done
} | tee "$out/propofol_tci.txt"

# The picture: the concentrations above (with the first three minutes
# enlarged), the pump's rate below (held over each 10-second step, so drawn
# as steps), on one time axis.
gnuplot <<EOF
set terminal svg size 800,560 font "sans,13" background rgb "white"
set output "$out/propofol_tci.svg"
set multiplot title "Propofol, effect-site TCI at 3 µg/mL (Schnider; 40 y, 70 kg, 170 cm, male)"
set lmargin 10
set rmargin 3
set xrange [0:60]
set xtics 0,10,60
set grid
set size 1,0.58
set origin 0,0.38
set bmargin 1
set format x ""
set ylabel "concentration (µg/mL)"
set yrange [0:11]
set key top right
plot "$work/rows" using 1:3 with lines lw 2 lc rgb "#1f77b4" title "Cp (plasma)", \
     "$work/rows" using 1:4 with lines lw 2.5 dt 2 lc rgb "#d62728" title "Ce (effect site)"
set size 0.5,0.34
set origin 0.3,0.5
set xrange [0:3]
set xtics 0,0.5,3 format "%g"
set ytics 0,2,10
set ylabel ""
set title "the first three minutes" font "sans,11"
unset key
set object 1 rectangle from graph 0,0 to graph 1,1 behind fillcolor rgb "white" fillstyle solid noborder
replot
unset object 1
unset title
set size 1,0.4
set origin 0,0
set xrange [0:60]
set xtics 0,10,60
set tmargin 1
set bmargin 3
set format x "%g"
set xlabel "time (min)"
set ylabel "rate (mg/min)"
set key top right
set yrange [0:220]
set ytics 0,50,200
plot "$work/rows" using 1:2 with fsteps lw 1.5 lc rgb "#555555" title "infusion rate"
unset multiplot
EOF
