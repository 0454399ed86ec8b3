#!/usr/bin/env bash
# Makes the demo server's content from the committed catalogue and version resource:
#   make-demo-content.sh OUT-DIR [--windows-installer DemoInstaller.exe]
# OUT-DIR/installer/Velmora/AppPlugins.xml   the catalogue
# OUT-DIR/installer/Velmora/Images.zip       one JPEG thumbnail per product name
# OUT-DIR/installer/<folder>/<Name>_Win.zip  per product: an installer shell script
#                                            (first entry) and the product's file(s),
#                                            tiny PE DLLs with a real version resource
# With --windows-installer the archives hold, in place of the shell script, the given
# Windows installer as <Name>_Setup.exe (first entry) and its list <Name>_Setup.txt of
# files and the folders under "C:\Program Files" to copy them to.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: make-demo-content.sh OUT-DIR [--windows-installer EXE]}"
windows_installer=""
if [ "${2:-}" = "--windows-installer" ]; then
    windows_installer="$(cd "$(dirname "${3:?the Windows installer is missing}")" && pwd)/$(basename "$3")"
    [ -f "$windows_installer" ] || { echo "No Windows installer at $3" >&2; exit 1; }
fi
mkdir -p "$out"
out="$(cd "$out" && pwd)"
catalogue="$here/AppPlugins.xml"
template="$here/VersionInfo.rc.in"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

rm -rf "$out/installer"
mkdir -p "$out/installer/Velmora"
cp "$catalogue" "$out/installer/Velmora/AppPlugins.xml"

# One line per product: kind, name, install file, version, folder, and for a bundle
# its members' kinds, files and versions.
python3 - "$catalogue" > "$work/products.tsv" <<'PY'
import sys, xml.etree.ElementTree as ET

def install_file (e):
    if e.tag.upper() == "EXE":
        return e.get ("fileWin", "")
    return e.get ("file", e.get ("name", ""))

def fields (e):
    return [e.tag.upper(), e.get ("name", ""), install_file (e), e.get ("version", ""), e.get ("folder", "")]

for e in ET.parse (sys.argv[1]).getroot():
    tag = e.tag.upper()
    if tag not in ("PLUGIN", "EXE", "BUNDLE"):
        continue
    line = fields (e)
    if tag == "BUNDLE":
        for m in e:
            if m.tag.upper() in ("PLUGIN", "EXE"):
                line += [m.tag.upper(), install_file (m), m.get ("version", "")]
    print ("\t".join (line))
    if tag == "BUNDLE":
        for m in e:
            if m.tag.upper() in ("PLUGIN", "EXE") and m.get ("isNoBundleAvailable", "").strip()[:1] in ("1", "t", "T", "y", "Y"):
                print ("\t".join (fields (m)))
PY

# A tiny DLL whose version resource holds VERSION: make_dll NAME VERSION OUT-FILE
make_dll()
{
    local name="$1" version="$2" target="$3"
    local commas
    commas="$(echo "$version" | awk -F. '{ printf "%d,%d,%d,%d", $1, $2, $3, $4 }')"
    sed -e "s/@VERSION_COMMAS@/$commas/g" -e "s/@VERSION@/$version/g" -e "s/@NAME@/$name/g" \
        "$template" > "$work/version.rc"
    x86_64-w64-mingw32-windres --preprocessor=cpp -O coff -i "$work/version.rc" -o "$work/version.res"
    mkdir -p "$(dirname "$target")"
    x86_64-w64-mingw32-ld --dll -e 0 -o "$target" "$work/version.res"
}

# Where the program looks for a product's file on Windows.
windows_install_target()
{
    local kind="$1" file="$2"
    if [ "$kind" = "EXE" ]; then
        echo "C:\\Program Files\\Tavoline Audio\\${file//\//\\}"
    else
        echo "C:\\Program Files\\Common Files\\VST3\\$file.vst3"
    fi
}

# Where the program looks for a product's file on Linux, as a shell expression.
install_target()
{
    local kind="$1" file="$2"
    if [ "$kind" = "EXE" ]; then
        echo "\$HOME/.wine/drive_c/Program Files/Tavoline Audio/$file"
    else
        echo "\$HOME/.wine/drive_c/Program Files/Common Files/VST3/$file.vst3"
    fi
}

mkdir -p "$work/images"
colours=(firebrick steelblue darkolivegreen darkorange slateblue teal)
index=0

while IFS=$'\t' read -r -a fields; do
    kind="${fields[0]}" name="${fields[1]}" file="${fields[2]}" version="${fields[3]}" folder="${fields[4]}"
    base="${name// /_}"
    stage="$work/archive-$base"
    payload="${base}_Files"
    mkdir -p "$stage/$payload"

    # The installer script: copies each file to where the program looks for it.
    script="$stage/${base}_Setup.sh"
    {
        echo '#!/bin/sh'
        echo "# Demo installer of $name $version."
        echo 'set -e'
        echo 'here="$(cd "$(dirname "$0")" && pwd)"'
    } > "$script"
    manifest="$stage/${base}_Setup.txt"
    : > "$manifest"

    add_file()
    {
        local item_kind="$1" item_file="$2" item_version="$3" number="$4"
        local target
        target="$(install_target "$item_kind" "$item_file")"
        make_dll "$name" "$item_version" "$stage/$payload/$number.bin"
        printf '%s\t%s\r\n' "$payload/$number.bin" "$(windows_install_target "$item_kind" "$item_file")" >> "$manifest"
        {
            echo "mkdir -p \"\$(dirname \"$target\")\""
            echo "cp \"\$here/$payload/$number.bin\" \"$target\""
        } >> "$script"
    }

    if [ "$kind" = "BUNDLE" ]; then
        number=0
        for ((i = 5; i + 2 < ${#fields[@]}; i += 3)); do
            add_file "${fields[i]}" "${fields[i + 1]}" "${fields[i + 2]}" "$number"
            number=$((number + 1))
        done
    else
        add_file "$kind" "$file" "$version" 0
    fi

    echo "echo \"$name $version installed.\"" >> "$script"
    chmod +x "$script"

    target_dir="$out/installer"
    [ -z "$folder" ] || target_dir="$target_dir/$folder"
    mkdir -p "$target_dir"
    rm -f "$target_dir/${base}_Win.zip"
    # The installer goes first: the program starts the archive's first entry.
    if [ -n "$windows_installer" ]; then
        cp "$windows_installer" "$stage/${base}_Setup.exe"
        (cd "$stage" && zip -q -X "$target_dir/${base}_Win.zip" "${base}_Setup.exe" "${base}_Setup.txt" && zip -q -X -r "$target_dir/${base}_Win.zip" "$payload")
    else
        (cd "$stage" && zip -q -X "$target_dir/${base}_Win.zip" "${base}_Setup.sh" && zip -q -X -r "$target_dir/${base}_Win.zip" "$payload")
    fi

    # Thumbnail, named after the product's name (a listed bundle member appears
    # twice in the list; the second picture is the same).
    colour="${colours[$((index % ${#colours[@]}))]}"
    index=$((index + 1))
    convert -size 160x90 "xc:$colour" -fill white -font "$font" -pointsize 15 \
        -gravity center -annotate +0+0 "$name" -quality 85 "$work/images/$name.jpg"
done < "$work/products.tsv"

# Thumbnails of bundle members that are not listed by themselves.
python3 - "$catalogue" <<'PY' | while IFS= read -r name; do
import sys, xml.etree.ElementTree as ET
for b in ET.parse (sys.argv[1]).getroot():
    if b.tag.upper() == "BUNDLE":
        for m in b:
            if m.tag.upper() in ("PLUGIN", "EXE"):
                print (m.get ("name", ""))
PY
    [ -f "$work/images/$name.jpg" ] && continue
    convert -size 160x90 xc:dimgray -fill white -font "$font" -pointsize 15 \
        -gravity center -annotate +0+0 "$name" -quality 85 "$work/images/$name.jpg"
done

rm -f "$out/installer/Velmora/Images.zip"
(cd "$work/images" && zip -q -X "$out/installer/Velmora/Images.zip" *.jpg)
echo "Demo content in $out/installer"
