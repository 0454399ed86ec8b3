#!/usr/bin/env bash
# Runs every fuzz target for a bounded time each; fails on the first finding.
#   tests/fuzz/run-fuzz.sh <build-dir> <seconds>
# The build dir is configured with clang when it does not exist yet.
set -euo pipefail

build="${1:?usage: run-fuzz.sh <build-dir> <seconds>}"
seconds="${2:?usage: run-fuzz.sh <build-dir> <seconds>}"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -C "$source_dir/cmake/LoopbackAddresses.cmake" -S "$source_dir" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_FUZZ=ON
fi

cmake --build "$build" --target velmora_pe_fuzz velmora_pe_fixtures

fuzz_dir="$build/tests/fuzz"
corpus="$fuzz_dir/corpus"
artifacts="$fuzz_dir/artifacts"
mkdir -p "$corpus" "$artifacts"
cp "$(cat "$fuzz_dir/seed-dir.txt")"/*.dll "$corpus/"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# A finding, a crash or a leak makes libFuzzer exit with a non-zero status. The memory
# limit is libFuzzer's default: with ASan's quarantine a long run passes 512 MiB.
"$fuzz_dir/velmora_pe_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=5 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus"

# Unpacking an archive from memory into a temporary folder, from seed archives made by
# the download tests' archive maker.
cmake --build "$build" --target velmora_unpack_fuzz

unpack_corpus="$fuzz_dir/unpack-corpus"
mkdir -p "$unpack_corpus"
make_zip="$(cat "$fuzz_dir/make-zip-script.txt")"
python3 "$make_zip" "$unpack_corpus/stored.zip" file:Setup/installer.exe=MZ file:readme.txt=text dir:Data/
python3 "$make_zip" "$unpack_corpus/deflated.zip" --deflate file:a.txt=aaaaaaaaaaaaaaaa random:b.bin=3000 file:Setup/../c.txt=c
python3 "$make_zip" "$unpack_corpus/upward.zip" file:one.txt=1 "file:../escaped.txt=x" link:l=../outside
python3 "$make_zip" "$unpack_corpus/damaged.zip" --deflate random:p.bin=2000 --store file:q.txt=q --edit flip:0:10
python3 "$make_zip" "$unpack_corpus/zip64.zip" file:a.txt=a --edit add-zip64

"$fuzz_dir/velmora_unpack_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=5 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$unpack_corpus"

# The catalogue check and the product building behind it.
cmake --build "$build" --target velmora_catalogue_fuzz
catalogue_corpus="$fuzz_dir/catalogue-corpus"
mkdir -p "$catalogue_corpus"
cp "$source_dir/tests/fuzz/catalogue-seeds/"* "$catalogue_corpus/"
"$fuzz_dir/velmora_catalogue_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=5 -rss_limit_mb=2048 \
    -dict="$source_dir/tests/fuzz/xml.dict" -artifact_prefix="$artifacts/catalogue-" -print_final_stats=1 "$catalogue_corpus"

# The sign-in answer: bounded size and depth, then JSON parsing and the token lookup.
cmake --build "$build" --target velmora_login_answer_fuzz

login_dir="$fuzz_dir/login-answer"
mkdir -p "$login_dir/corpus" "$login_dir/artifacts"
cp "$source_dir"/tests/fuzz/login-answer-seeds/* "$login_dir/corpus/"
# One answer just past the 64 KiB bound, which the fuzzer's growing length limit would reach late.
{
    printf '%s' '{"data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"t"}}},"padding":"'
    head -c 65500 /dev/zero | tr '\0' x
    printf '%s' '"}'
} > "$login_dir/corpus/past-the-bound.json"

# max_len passes the 64 KiB bound, so that answers beyond it are tried too.
"$fuzz_dir/velmora_login_answer_fuzz" -max_total_time="$seconds" -max_len=70000 -timeout=5 -rss_limit_mb=2048 \
    -dict="$source_dir/tests/fuzz/login-answer.dict" \
    -artifact_prefix="$login_dir/artifacts/" -print_final_stats=1 "$login_dir/corpus"
