#!/usr/bin/env bash
# Prints the files of app/ and gfx/ as layers, twice: by calls, from the
# object files linked into tandrel, and by #include lines; fails on a circle.
#   scripts/layers.sh [-q] [BUILD_DIR]   (default build; tandrel must be built there)
# -q prints the circles alone.
# Calls: an object that leaves a symbol undefined stands on the object that
# defines it (weak definitions, such as inline functions, do not count).
# Includes: a header and its source count as one file. Layer 0 stands on
# nothing of ours; every other file stands one above the highest it stands
# on. Files that stand on each other, directly or round about, form a circle
# and are listed under "circle:" with the arrows that close it; exits 1 then.
set -euo pipefail
cd "$(dirname "$0")/.."
quiet=0
if [ "${1:-}" = -q ]; then
  quiet=1
  shift
fi
build=${1:-build}
link="$build/CMakeFiles/tandrel.dir/link.txt"
if [ ! -f "$link" ]; then
  echo "layers.sh: no build of tandrel in $build (scripts/build.sh makes one)" >&2
  exit 2
fi

# Reads "FROM TO WHY" arrows (FROM FROM for a file that stands on nothing) and
# prints the layers, then the circles with one reason per arrow in them.
layers() {
  awk -v quiet=$quiet '
  $1 != $2 { edge[$1, $2] = 1; reach[$1, $2] = 1; if (!(($1, $2) in why)) why[$1, $2] = $3 }
  { node[$1] = 1; node[$2] = 1 }
  END {
    n = 0
    for (a in node) name[n++] = a
    # Transitive closure: a few dozen files, so the plain cubic walk will do.
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
      if (!quiet) printf "%2d %-24s <-%s\n", level[rep[a]], a, deps | "sort -n -k1,1 -k2,2"
    }
    if (!quiet) close("sort -n -k1,1 -k2,2")
    if (circles == 0) { print "circles: none"; exit 0 }
    for (c = 1; c <= circles; c++) {
      print "circle: " circle[c]
      for (e in edge) {
        split(e, ab, SUBSEP)
        if (incircle[ab[1]] == c && incircle[ab[2]] == c) print "  " ab[1] " -> " ab[2] ": " why[e]
      }
    }
    exit 1
  }'
}

# The objects linked into tandrel: its own, and those of every library on its
# link line, as the build lists them (objects left from older builds do not
# count).
objects_of() {
  sed -n "/^$1_OBJECTS = /,/^\$/p; /^$1_EXTERNAL_OBJECTS = /,/^\$/p" \
    "$build/CMakeFiles/$1.dir/build.make" | grep -o 'CMakeFiles/[^"]*\.o' | sed "s|^|$build/|"
}
objects() {
  local word
  objects_of tandrel
  for word in $(cat "$link"); do
    case "$word" in
      lib*.a)
        word=${word#lib}
        objects_of "${word%.a}"
        ;;
    esac
  done
}

# "D FILE SYMBOL" for every strong definition, then "U FILE SYMBOL" for every
# undefined one, FILE being the source the object was compiled from.
symbols() {
  local o file
  for pass in D U; do
    for o in $(objects); do
      file=${o#*.dir/}
      file=${file%.cpp.o}
      case "$file" in app/* | gfx/*) ;; *) continue ;; esac
      if [ $pass = D ]; then
        nm --defined-only -g "$o" | awk -v f="$file" '$2 ~ /^[BCDGRST]$/ { print "D", f, $3 }'
      else
        nm -u "$o" | awk -v f="$file" '$1 == "U" { print "U", f, $2 }'
      fi
    done
  done
}

status=0
echo "calls (object files in $build):"
symbols | awk '
  $1 == "D" { at[$3] = $2; print $2, $2; next }
  ($3 in at) { print $2, at[$3], $3 }' | layers | c++filt || status=1

echo "includes:"
for f in app/*.[ch]pp app/*/*.[ch]pp gfx/*.[ch]pp gfx/x11/*.[ch]pp; do
  [ -e "$f" ] || continue
  sed -n 's/^#include "\([^"]*\)\.[ch]pp".*/\1/p' "$f" | while read -r to; do
    echo "${f%.*} $to #include"
  done
  echo "${f%.*} ${f%.*}"  # every file is a node, even one that includes nothing
done | layers || status=1
exit $status
