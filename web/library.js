// Runtime pieces that SDL's own inline JavaScript uses without declaring
// them (its audio resumes the context on the first gesture and calls the
// audio callback through dynCall), so the linker would leave them out.
DEFAULT_LIBRARY_FUNCS_TO_INCLUDE.push('$autoResumeAudioContext', '$dynCall');
