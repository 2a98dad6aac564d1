# Entry points: `make demo` runs the till's demo on the embedded sandbox service,
# `make check` builds and runs every test suite.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build demo check clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/bin/till demo

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

clean:
	rm -rf $(BUILD)

# `make bench` builds in release mode into build-release/ and runs every benchmark figure next
# to its baseline; the table goes into bench/RESULTS.md. BENCH_QUICK=1 runs fewer tries.
BENCH_BUILD ?= build-release
.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMOR_BUILD_BENCH=ON \
		-DVELMOR_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target velmor-bench
	$(BENCH_BUILD)/bin/velmor-bench --results bench/RESULTS.md
