# Writes the demo product's data file: deterministic bytes (the same seed
# gives the same file on every build), so nothing big is kept in the sources.
# Usage: cmake -DOUTPUT=<file> -P make_payload.cmake
string(RANDOM LENGTH 1200000
       ALPHABET "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
       RANDOM_SEED 661 data)
file(WRITE "${OUTPUT}" "${data}")
