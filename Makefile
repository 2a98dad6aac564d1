# Entry points: `make demo` runs the till's demo on the embedded sandbox service,
# `make check` builds and runs every test suite.
BUILD ?= build
JOBS ?= $(shell nproc)
# Cases run side by side by `make check`: most of them wait on the sandbox's polls a second
# apart rather than use a core (the whole suite takes about a minute of CPU on two cores), so
# four to a core keep the cores busy.
TEST_JOBS ?= $(shell echo $$(( $(JOBS) * 4 )))
CMAKE_FLAGS ?=

.PHONY: deps configure build demo check check-format check-asan check-tsan clean screenshots soak

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo needs the till, the plug-in and its catalogues (the till's dependencies) and the
# sandbox, not the test suites: a first `make demo` builds those alone.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target till velmor-sandbox
	$(BUILD)/bin/till --config velmor.ini demo

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS) --timeout 300

# Every C++ source against .clang-format: lists the files that differ and fails
# (scripts/check-format.sh --fix formats them).
check-format: deps
	./scripts/check-format.sh

# The pictures of till-gui in docs/cashier-screen.md, drawn offscreen into docs/screenshots/.
screenshots: configure
	cmake --build $(BUILD) -j $(JOBS) --target screenshots

# The whole suite again under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
ASAN_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

check-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMOR_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600

# The threading tests under ThreadSanitizer: the cases labelled "threads" (a sale interrupted
# from another thread, the cashier's cancel button in the till, two threads on one transport).
TSAN_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp

check-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVELMOR_SANITIZE=thread $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target threadchecked
	cd build-tsan && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600 -L threads

clean:
	rm -rf $(BUILD) build-asan build-tsan $(PACKAGE_BUILD) $(SOAK_BUILD)

# `make soak` builds into build-soak/ and runs the randomized fault soak: tills side by side
# against velmor-sandbox with chaos on, then the ledger checks (docs/reliability.md).
# SOAK_SEED (printed first; default: from the clock), SOAK_OPS (200), SOAK_TILLS (4),
# SOAK_CHAOS (percent of exchanges faulted, 25), SOAK_LOCK_PERCENT (percent of till processes
# whose queue is locked, 10), SOAK_MAX_SECONDS (no new operation after that long, 4 hours),
# SOAK_SIGQUIT (1, the default: SIGQUIT drawn beside SIGINT and SIGTERM; 0: not);
# exit status 1 on a discrepancy. SOAK_RUNS_TABLE=docs/reliability.md puts the run's row on top
# of the runs table there (between its soak markers), saying SOAK_RUNS_NOTE (default: the
# commit the run was built from) after its settings.
SOAK_BUILD ?= build-soak
SOAK_RUNS_NOTE ?= the plug-in of $(shell git describe --always --dirty 2>/dev/null)
export SOAK_SEED SOAK_OPS SOAK_TILLS SOAK_CHAOS SOAK_LOCK_PERCENT SOAK_MAX_SECONDS SOAK_SIGQUIT \
	SOAK_RUNS_TABLE SOAK_RUNS_NOTE
soak: deps
	cmake -S . -B $(SOAK_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(SOAK_BUILD) -j $(JOBS) --target velmor-soak
	$(SOAK_BUILD)/bin/velmor-soak run --work-dir $(SOAK_BUILD)/soak --till $(SOAK_BUILD)/bin/till \
		--plugin $(SOAK_BUILD)/plugins/libvelmor.so --sandbox $(SOAK_BUILD)/bin/velmor-sandbox

# `make faultmatrix` runs every endpoint under every fault (tst_faultmatrix, in one process) and,
# when every cell passes, writes its table into docs/reliability.md between the faultmatrix
# markers; otherwise the page is left as it is and the run fails.
.PHONY: faultmatrix
faultmatrix: configure
	cmake --build $(BUILD) -j $(JOBS) --target tst_faultmatrix
	VELMOR_FAULTMATRIX_DOC=$(CURDIR)/docs/reliability.md $(BUILD)/bin/tst_faultmatrix

# `make fuzz` builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# FUZZ_SECONDS (60) seconds; grown corpora and findings go to fuzz-out/.
.PHONY: fuzz
fuzz:
	./fuzz/run.sh

# `make bench` builds in release mode into build-release/ and runs every benchmark figure next
# to its baseline; the table goes into bench/RESULTS.md. BENCH_QUICK=1 runs fewer tries.
BENCH_BUILD ?= build-release
.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMOR_BUILD_BENCH=ON \
		-DVELMOR_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target velmor-bench
	$(BENCH_BUILD)/bin/velmor-bench --results bench/RESULTS.md

# `make package` builds the Debian packages velmor-host, velmor-plugin, velmor-sandbox and
# velmor-till into $(PACKAGE_BUILD)/ (installed under /usr and the host's pay-systems
# directory), compiled and linked with Debian's hardening flags (dpkg-buildflags, every
# feature on: fortified functions, stack protector, relro and BIND_NOW; Debian's compiler makes
# PIE by itself); PACKAGE_RELEASE is their Debian revision. `make check-package` (root) installs,
# runs, upgrades and purges them: scripts/check-package.sh.
PACKAGE_BUILD ?= build-package
PACKAGE_RELEASE ?= 1
PACKAGE_BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
.PHONY: package check-package
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
		-DVELMOR_BUILD_TESTS=OFF -DVELMOR_PACKAGE_RELEASE=$(PACKAGE_RELEASE) \
		-DCMAKE_CXX_FLAGS="$$($(PACKAGE_BUILDFLAGS) CPPFLAGS) $$($(PACKAGE_BUILDFLAGS) CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$($(PACKAGE_BUILDFLAGS) LDFLAGS)" \
		-DCMAKE_SHARED_LINKER_FLAGS="$$($(PACKAGE_BUILDFLAGS) LDFLAGS)" \
		-DCMAKE_MODULE_LINKER_FLAGS="$$($(PACKAGE_BUILDFLAGS) LDFLAGS)" $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack

check-package:
	PACKAGE_BUILD=$(PACKAGE_BUILD) ./scripts/check-package.sh
