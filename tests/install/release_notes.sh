#!/usr/bin/env bash
# The AppStream releases made from NEWS.md, the form errors that stop the build, and one
# version and one licence across CMakeLists.txt, NEWS.md, debian/ and LICENSE.
# Usage: release_notes.sh CMAKE SOURCE_DIR VERSION
set -uo pipefail
cmake=$1 source=$2 version=$3
script=$source/data/news_releases.cmake

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...: one result line per check
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
quiet() { "$@" >"$work/quiet.log" 2>&1 || { cat "$work/quiet.log"; return 1; }; }
releases() { "$cmake" -DNEWS="$1" -DOUT="$2" -P "$script" >"$work/cmake.log" 2>&1; }

# Two releases, an item continued on the next line, XML's characters and Markdown code marks.
cat >"$work/NEWS.md" <<'NEWS'
# News
Text before the first release, even with ## inside, is no release.

## 1.10.0 (2026-02-03)
- Cuts `a & b` into <pieces>;
  and keeps them.

- Second; item
## 1.9.2 (2025-12-31)
- Older
NEWS
cat >"$work/expected.xml" <<'XML'
  <releases>
    <release version="1.10.0" date="2026-02-03">
      <description>
        <ul>
          <li>Cuts a &amp; b into &lt;pieces&gt;; and keeps them.</li>
          <li>Second; item</li>
        </ul>
      </description>
    </release>
    <release version="1.9.2" date="2025-12-31">
      <description>
        <ul>
          <li>Older</li>
        </ul>
      </description>
    </release>
  </releases>
XML
check "releases made" releases "$work/NEWS.md" "$work/out.xml"
check "releases as expected" diff -u "$work/expected.xml" "$work/out.xml"
if command -v appstreamcli >/dev/null; then
  { sed -n '/<component/,/<content_rating/p' "$source/data/io.github.trimlet.trimlet.metainfo.xml.in" \
      | sed '1i <?xml version="1.0" encoding="UTF-8"?>'
    cat "$work/out.xml"; echo '</component>'; } >"$work/io.github.trimlet.trimlet.metainfo.xml"
  check "releases valid AppStream" quiet appstreamcli validate --no-net "$work/io.github.trimlet.trimlet.metainfo.xml"
fi

# Each broken form stops the build and names its line or release.
refused() {  # refused NAME MESSAGE_PART NEWS_TEXT
  printf '%s\n' "$3" >"$work/bad.md"
  if releases "$work/bad.md" "$work/bad.xml"; then echo "FAILED: $1 accepted"; failed=$((failed + 1)); return; fi
  check "$1 names the fault" grep -qF -- "$2" "$work/cmake.log"
}
refused "item before any release" "bad.md:2: an item before" $'# News\n- stray\n## 1.0 (2026-01-01)\n- a'
refused "date not ISO" "bad.md:2: a release heading" $'# News\n## 1.0 (1 Jan 2026)\n- a'
refused "version missing" "bad.md:2: a release heading" $'# News\n## (2026-01-01)\n- a'
refused "older release first" "release 1.1 is not older than 1.0" $'## 1.0 (2026-01-01)\n- a\n## 1.1 (2026-02-01)\n- b'
refused "same version twice" "release 1.0 is not older than 1.0" $'## 1.0 (2026-01-01)\n- a\n## 1.0 (2026-02-01)\n- b'
refused "release without items" "release 1.1 lists no change" $'## 1.1 (2026-02-01)\n## 1.0 (2026-01-01)\n- b'
refused "last release without items" "release 1.0 lists no change" $'## 1.1 (2026-02-01)\n- a\n## 1.0 (2026-01-01)'
refused "no release at all" "no release heading" $'# News\nNothing yet.'

# --- one version and one licence everywhere
first_heading=$(grep -m1 '^## ' "$source/NEWS.md")
check "NEWS.md's newest release is $version ($first_heading)" test "${first_heading%% (*}" = "## $version"
changelog_version=$(sed -n '1s/^trimlet (\([^)]*\)).*/\1/p' "$source/debian/changelog")
check "debian/changelog is at $version (is $changelog_version)" test "$changelog_version" = "$version"
check "LICENSE is MIT" grep -q '^MIT License$' "$source/LICENSE"
# debian/copyright carries the licence text with its own indentation and paragraph dots.
sed -n '/^Permission/,$p' "$source/LICENSE" >"$work/license.txt"
sed -n '/^License: MIT$/,$p' "$source/debian/copyright" | sed -n '/^ Permission/,$p' \
  | sed 's/^ //; s/^\.$//' >"$work/copyright.txt"
check "debian/copyright holds the text of LICENSE" diff -u "$work/license.txt" "$work/copyright.txt"
check "debian/copyright covers every file with MIT" grep -Pqz 'Files: \*\nCopyright: [^\n]+\nLicense: MIT\n' "$source/debian/copyright"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
