#!/usr/bin/env bash
# Prints the include graph of app/ and gfx/ as layers, and any circles in it.
#   scripts/layers.sh
# A header and its source count as one file; an #include "..." is an arrow.
# Layer 0 includes nothing of ours; every other file stands one above the
# highest file it includes. Files that include each other, directly or round
# about, form a circle and are listed under "circles"; exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

for f in app/*.[ch]pp gfx/*.[ch]pp gfx/x11/*.[ch]pp; do
  sed -n 's/^#include "\([^"]*\)\.[ch]pp".*/\1/p' "$f" | while read -r to; do
    echo "${f%.*} $to"
  done
  echo "${f%.*} ${f%.*}"  # every file is a node, even one that includes nothing
done | awk '
  $1 != $2 { edge[$1, $2] = 1; reach[$1, $2] = 1 }
  { node[$1] = 1; node[$2] = 1 }
  END {
    n = 0
    for (a in node) name[n++] = a
    # Transitive closure: few dozen files, so the plain cubic walk will do.
    for (k = 0; k < n; k++) for (i = 0; i < n; i++) if ((name[i], name[k]) in reach)
      for (j = 0; j < n; j++) if ((name[k], name[j]) in reach) reach[name[i], name[j]] = 1
    circles = 0
    for (i = 0; i < n; i++) {
      a = name[i]
      if (a in seen) continue
      group = a
      for (j = 0; j < n; j++) {
        b = name[j]
        if (b != a && ((a, b) in reach) && ((b, a) in reach)) { group = group " " b; seen[b] = 1 }
      }
      if (group == a) continue
      circle[++circles] = group
      m = split(group, member, " ")
      for (k = 1; k <= m; k++) incircle[member[k]] = circles
    }
    # Layers over the circles taken as one file each, so the walk settles.
    for (i = 0; i < n; i++) rep[name[i]] = (name[i] in incircle) ? "circle " incircle[name[i]] : name[i]
    do {
      changed = 0
      for (e in edge) {
        split(e, ab, SUBSEP); a = rep[ab[1]]; b = rep[ab[2]]
        if (a != b && level[b] + 1 > level[a]) { level[a] = level[b] + 1; changed = 1 }
      }
    } while (changed)
    for (i = 0; i < n; i++) {
      a = name[i]; deps = ""
      for (j = 0; j < n; j++) if ((a, name[j]) in edge) deps = deps " " name[j]
      printf "%2d %-24s <-%s\n", level[rep[a]], a, deps | "sort -n -k1,1 -k2,2"
    }
    close("sort -n -k1,1 -k2,2")
    if (circles == 0) { print "circles: none"; exit 0 }
    for (c = 1; c <= circles; c++) print "circle: " circle[c]
    exit 1
  }'
