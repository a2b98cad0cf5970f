# The two commands of the README: `make demo` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

PREFIX ?= /usr/local

.PHONY: all deps build build-sanitize test test-release test-sanitize demo bench install package clean

all: build

deps:
	@bash .ci/deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)

test-release: build
	ctest --preset release -j $(JOBS)

test-sanitize: build-sanitize
	ctest --preset sanitize -j $(JOBS)

# Every test, in the optimised build and under AddressSanitizer + UBSan.
test: test-release test-sanitize

demo: build
	@bash demo/run

# The programs, their manual pages, the README and the demo under PREFIX.
install: build
	@cmake --install build --prefix "$(PREFIX)"

# wes-suite_<version>_<arch>.deb in build/, installing under /usr.
package: build
	@cpack --preset release

bench: build
	@bash bench/run.sh

clean:
	rm -rf build build-sanitize demo/out
