# The two commands of the README: `make demo` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

.PHONY: all deps build build-sanitize test test-release test-sanitize demo bench clean

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

bench: build
	@bash bench/run.sh

clean:
	rm -rf build build-sanitize demo/out
