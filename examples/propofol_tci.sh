#!/usr/bin/env bash
# A propofol anaesthetic planned with the two add-ins, through xlhost:
# a 40-year-old, 70 kg, 170 cm man; Schnider parameters; effect-site TCI at
# 3 ug/mL for 60 minutes in 10-second rows (pump limit 200 mg/min); the
# predicted plasma and effect-site concentrations of those rates; and the
# 50 % context-sensitive decrement times. Units: L, min, mg, mg/L (= ug/mL).
set -euo pipefail
XLHOST=${1:-"$(dirname "$0")/../build/bin/xlhost"}
xl() { "$XLHOST" "$@"; }

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

printf 'Propofol, Schnider model: 40 years, 70 kg, 170 cm, male\n'
printf '  V1 %.2f L, V2 %.2f L, V3 %.0f L, Cl1 %.3f L/min, Cl2 %.3f L/min, Cl3 %.3f L/min, ke0 %.3f /min\n\n' \
  "${pk[@]}"
printf 'Effect-site TCI, target 3 ug/mL, pump limit 200 mg/min\n'
printf '%9s %16s %16s %12s %12s %8s\n' 'time' 'rate' 'dose in step' 'Cp' 'Ce' 'BIS'
printf '%9s %16s %16s %12s %12s %8s\n' '(min)' '(mg/min)' '(mg)' '(ug/mL)' '(ug/mL)' ''
total=0
for ((i = 1; i < rows; i++)); do
  total=$(awk -v t="$total" -v r="${rate[$i]}" 'BEGIN { printf "%.6f", t + r / 6 }')
  # Every row of the first two minutes, then each minute.
  if ((i <= 12 || i % 6 == 0)); then
    awk -v i="$i" -v r="${rate[$i]}" -v cp="${cp[$i]}" -v ce="${ce[$i]}" -v bis="${bis[$i]}" \
      'BEGIN { printf "%9.2f %16.2f %16.2f %12.3f %12.3f %8.1f\n", i / 6, r, r / 6, cp, ce, bis }'
  fi
done
printf '\nPropofol given in 60 minutes: %.0f mg\n\n' "$total"
printf '50 %% context-sensitive decrement times\n'
printf '%18s %18s %22s\n' 'infusion (min)' 'plasma (min)' 'effect site (min)'
for ((k = 0; k < 6; k++)); do
  printf '%18d %18.2f %22.2f\n' $((10 * (k + 1))) "${htCp[$k]}" "${htCe[$k]}"
done
