#!/usr/bin/env bash
# Prints, in apt's deb822 format, source entries that mirror this machine's binary entries for the
# release $1 (its codename) and its updates: the same URIs, components and keys, so the tree names
# no archive of its own. Reads /etc/apt/sources.list and sources.list.d, or the files given after
# the codename. Prints nothing when no binary entry names the release.
set -euo pipefail
suite="$1"
shift
if [ $# -eq 0 ]; then
    set -- /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
fi
for file in "$@"; do
    [ -f "$file" ] || continue
    case "$file" in
    *.sources)
        # Stanzas are separated by blank lines; a field's value may go on over indented lines,
        # which these fields never need.
        awk -v suite="$suite" '
            function flush(   n, i, words, kept) {
                if (types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no" && uris != "") {
                    n = split(suites, words, /[ \t]+/)
                    kept = ""
                    for (i = 1; i <= n; i++)
                        if (words[i] == suite || words[i] == suite "-updates")
                            kept = kept (kept == "" ? "" : " ") words[i]
                    if (kept != "") {
                        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", uris, kept, components
                        if (signed != "") printf "Signed-By: %s\n", signed
                        print ""
                    }
                }
                types = uris = suites = components = signed = enabled = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            {
                field = tolower($0); sub(/:.*/, "", field)
                value = $0; sub(/^[^:]*:[ \t]*/, "", value); sub(/[ \t]+$/, "", value)
                if (field == "types") types = value
                else if (field == "uris") uris = value
                else if (field == "suites") suites = value
                else if (field == "components") components = value
                else if (field == "signed-by") signed = value
                else if (field == "enabled") enabled = tolower(value)
            }
            END { flush() }' "$file"
        ;;
    *)
        # One-line entries: deb [options] URI suite component...
        awk -v suite="$suite" '
            $1 == "deb" {
                i = 2
                options = ""
                if ($2 ~ /^\[/) {
                    while (i <= NF && $i !~ /\]$/) { options = options " " $i; i++ }
                    options = options " " $i; i++
                }
                if ($(i + 1) == suite || $(i + 1) == suite "-updates") {
                    line = "deb-src" options
                    for (; i <= NF && $i !~ /^#/; i++) line = line " " $i
                    print line
                }
            }' "$file"
        ;;
    esac
done | awk '
    # One-line entries become deb822 stanzas of their own, so the whole output is one format.
    /^deb-src / {
        n = split($0, w, /[ \t]+/); i = 2; signed = ""
        if (w[2] ~ /^\[/) {
            for (; i <= n; i++) {
                opt = w[i]; gsub(/[\[\]]/, "", opt)
                if (opt ~ /^signed-by=/) { signed = opt; sub(/^signed-by=/, "", signed) }
                if (w[i] ~ /\]$/) { i++; break }
            }
        }
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", w[i], w[i + 1]
        for (j = i + 2; j <= n; j++) printf " %s", w[j]
        printf "\n"
        if (signed != "") printf "Signed-By: %s\n", signed
        print ""
        next
    }
    { print }' | sed -e '${/^$/d}'
