# Sourced by the benchmark scripts, from the root of the clone: bench_build TARGET... builds
# those targets in Release into $build (build-bench/).
build=build-bench

bench_build() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_BENCH=ON \
        -DTOLVANE_BUILD_TESTS=OFF >/dev/null
    local targets=() target
    for target; do
        targets+=(--target "$target")
    done
    cmake --build "$build" "${targets[@]}" >/dev/null
}
