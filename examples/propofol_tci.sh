#!/usr/bin/env bash
# A propofol anaesthetic planned with the two add-ins, through xlhost:
# a 40-year-old, 70 kg, 170 cm man; Schnider parameters; effect-site TCI at
# 3 ug/mL for 60 minutes in 10-second rows (pump limit 200 mg/min); the
# predicted plasma and effect-site concentrations of those rates; and the
# 50 % context-sensitive decrement times. Units: L, min, mg, mg/L (= ug/mL).
#
# Prints the table and writes it, with its picture (drawn by gnuplot: Cp, Ce
# and the target, the pump's rate and the BIS, over the hour and over its
# first five minutes), into OUTDIR: propofol_tci.txt and propofol_tci.svg.
# OUTDIR defaults to this folder, whose copies README shows.
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
# BIS at its end, the target over the step before.
targets=(${target//;/ })
for ((i = 0; i < rows; i++)); do echo "$i ${rate[$i]} ${cp[$i]} ${ce[$i]} ${bis[$i]} ${targets[$i]}"; done |
  awk '{ printf "%.10g %s %s %s %s %s\n", $1 / 6, $2, $3, $4, $5, $6 }' > "$work/rows"

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

# The picture: the whole hour on the left, its first five minutes enlarged on
# the right; the concentrations with the target, the pump's rate (held over
# each 10-second step, so drawn as steps) and the BIS. In the hour the rate
# axis shows the maintenance rates, and a label names the induction's rates
# that rise above it.
maintenance=$(awk '$1 >= 2 && $2 > m { m = $2 } END { print m }' "$work/rows")
rate_top=$(awk -v m="$maintenance" 'BEGIN { print 5 * int(m * 1.6 / 5 + 1) }')
induction=$(awk -v top="$rate_top" '$2 > top {
    printf "%s%.0f mg/min (%.0f-%.0f s)", n++ ? ", " : "", $2, prev * 60, $1 * 60 } { prev = $1 }' "$work/rows")
gnuplot <<EOF
set terminal svg size 900,820 font "sans,12" background rgb "white"
set output "$out/propofol_tci.svg"
set multiplot layout 3,2 title "Propofol, effect-site TCI at 3 µg/mL (Schnider; 40 y, 70 kg, 170 cm, male)" \
  margins 0.09,0.98,0.07,0.9 spacing 0.09,0.1
set grid
set key top right font "sans,11"
set xlabel "time (min)" offset 0,0.5
hour = "set xrange [0:60]; set xtics 0,10,60"
first = "set xrange [0:5]; set xtics 0,1,5"

# The concentrations and the target.
set ylabel "concentration (µg/mL)"
set yrange [0:11]
set ytics 0,2,10
do for [panel = 1:2] {
  if (panel == 1) { @hour; set title "the hour" } else { @first; set title "the first five minutes" }
  plot "$work/rows" using 1:6 with fsteps lw 1.5 dt 3 lc rgb "black" title "target", \
       "" using 1:3 with lines lw 2 lc rgb "#1f77b4" title "Cp (plasma)", \
       "" using 1:4 with lines lw 2.5 dt 2 lc rgb "#d62728" title "Ce (effect site)"
  unset key
}
set title ""

# The pump's rate over each step.
set ylabel "rate (mg/min)"
@hour
set yrange [0:$rate_top]
set ytics autofreq
set label 1 "above the scale: $induction" at graph 0.04, graph 0.88 font "sans,10"
set arrow 1 from graph 0.035, graph 0.88 to first 0.25, graph 1 head size 0.5,20 lc rgb "#555555"
plot "$work/rows" using 1:2 with fsteps lw 1.5 lc rgb "#555555" notitle
unset label 1
unset arrow 1
@first
set yrange [0:230]
set ytics 0,50,200
plot "$work/rows" using 1:2 with fsteps lw 1.5 lc rgb "#555555" notitle, \
     "" using (\$2 > $rate_top ? \$1 : 1/0):2:(sprintf("%.0f mg/min", \$2)) with labels left offset 0.5,0.5 \
        font "sans,10" notitle

# The BIS of that effect-site course, on the usual band of 40 to 60.
set ylabel "BIS"
set yrange [0:100]
set ytics 0,20,100
set object 1 rectangle from graph 0, first 40 to graph 1, first 60 behind fillcolor rgb "#e6f2e6" fillstyle solid noborder
set label 2 "40 to 60" at graph 0.98, first 50 right font "sans,10" textcolor rgb "#4d804d"
do for [panel = 1:2] {
  if (panel == 1) { @hour } else { @first }
  plot "$work/rows" using 1:5 with lines lw 2 lc rgb "#2ca02c" notitle
}
unset multiplot
EOF
