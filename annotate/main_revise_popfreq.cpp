#include "annotator.hpp"

int main(int argc, char** argv) { return wes::annotate::run_annotator(argc, argv, wes::annotate::popfreq_tool); }
