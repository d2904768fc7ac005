#pragma once

// Every help marker as the user meets it, written out on its own rather
// than taken from the program's table: the control it explains, the three
// parts of its tooltip and its square, whose top and bottom are offsets
// from the job list's height L (before the panel scroll is subtracted).

#include "app/core/control_ids.hpp"

#include <string>

namespace help_marker_test {

struct ExpectedMarker {
    int control_id;
    const char* what;
    const char* advice;
    const char* default_text;
    struct {
        int left, top, right, bottom;
    } square;

    std::string tooltip() const {
        return std::string("Que modifica: ") + what + "\r\nRecomendado: " + advice + "\r\nDefault: " +
               default_text;
    }
};

// In the order the markers are added.
inline const ExpectedMarker kExpectedMarkers[] = {
    {app::IDC_QUANTITY, "cuantas copias de este DXF entran al nesting.",
     "usar la cantidad real a fabricar; para muchas piezas iguales el programa agrupa repetidas.",
     "1", {223, 198, 238, 213}},
    {app::IDC_SHEET_WIDTH, "el ancho util de la chapa donde se acomodan las piezas.",
     "3000 mm si trabajas con chapa 3000 x 1500.",
     "3000 mm", {100, 262, 115, 277}},
    {app::IDC_SHEET_HEIGHT, "el alto util de la chapa donde se acomodan las piezas.",
     "1500 mm si trabajas con chapa 3000 x 1500.",
     "1500 mm", {208, 262, 223, 277}},
    {app::IDC_PRICE_PER_KG, "el costo por kilo usado para estimar ahorro economico.",
     "actualizarlo con tu precio real de compra.",
     "6500", {96, 316, 111, 331}},
    {app::IDC_DENSITY, "la densidad del material para calcular peso y costo.",
     "8000 kg/m3 para acero al carbono aproximado.",
     "8000 kg/m3", {204, 316, 219, 331}},
    {app::IDC_THICKNESS, "el espesor de chapa para estimar peso y costo.",
     "poner el espesor real del trabajo.",
     "2.5 mm", {310, 316, 325, 331}},
    {app::IDC_UNIT_MM, "la unidad visual de la interfaz.",
     "mm para fabricacion metalica y DXF de corte.",
     "mm", {139, 426, 154, 441}},
    {app::IDC_SPACING, "la separacion minima entre piezas para corte, kerf y seguridad.",
     "5 mm para empezar; bajalo si tu proceso permite menos separacion.",
     "5 mm", {395, 426, 410, 441}},
    {app::IDC_CURVE_TOLERANCE, "que tan fina se aproxima una curva al cargar DXF.",
     "2 mm para velocidad; bajalo para curvas chicas o piezas delicadas.",
     "2 mm", {139, 453, 154, 468}},
    {app::IDC_ROTATIONS, "cuantas orientaciones prueba por pieza.",
     "2 para rapido; 4 u 8 cuando buscas mas aprovechamiento.",
     "2", {395, 453, 410, 468}},
    {app::IDC_OPTIMIZATION_TYPE, "el criterio principal para comparar acomodos.",
     "Bounding Box para reducir largo/ancho ocupado; Area compacta para empaquetar mas cerrado.",
     "Bounding Box", {139, 480, 154, 495}},
    {app::IDC_ROUGH_CURVES, "usa una aproximacion mas gruesa de curvas para acelerar pruebas.",
     "apagado para resultados finales; encendido solo para exploracion rapida.",
     "apagado", {395, 480, 410, 495}},
    {app::IDC_THREADS, "cuantos nucleos de CPU usa el solver y la carga de DXF.",
     "usar 8 o la cantidad de nucleos reales disponibles.",
     "8", {139, 507, 154, 522}},
    {app::IDC_MAX_ITERATIONS, "cantidad maxima de iteraciones del solver.",
     "0 para que siga hasta que lo pauses o detengas.",
     "0", {395, 507, 410, 522}},
    {app::IDC_SVG_SCALE, "escala historica para importar SVG si se usa esa ruta.",
     "dejarlo como esta salvo que un archivo entre con escala incorrecta.",
     "2.834645 units/mm", {139, 584, 154, 599}},
    {app::IDC_JOIN_TOLERANCE, "tolerancia para unir extremos cercanos al reconstruir contornos DXF.",
     "0.2 mm para cerrar pequenas diferencias sin deformar piezas.",
     "0.2 mm", {395, 584, 410, 599}},
    {app::IDC_INPUT_UNITS, "unidades con las que se interpretan los DXF de entrada.",
     "mm para SolidWorks/AutoCAD cuando los planos estan en milimetros.",
     "mm", {139, 611, 154, 626}},
    {app::IDC_OUTPUT_UNITS, "unidades del DXF guardado.",
     "mm siempre para evitar que AutoCAD/eDrawings lo lea en pulgadas.",
     "mm", {395, 611, 410, 626}},
    {app::IDC_MERGE_COMMON_LINES, "intenta no duplicar lineas compartidas cuando dos piezas quedan tocandose.",
     "encendido si queres ahorrar cortes; funciona mejor con separacion 0.",
     "encendido", {139, 689, 154, 704}},
    {app::IDC_OPTIMIZATION_RATIO, "balance interno entre compactacion y criterio de ocupacion.",
     "0.5 como punto medio; subirlo o bajarlo para comparar estrategias.",
     "0.5", {395, 689, 410, 704}},
    {app::IDC_POPULATION, "cuantas variantes mantiene el algoritmo genetico en cada ciclo.",
     "4 para velocidad; subirlo mejora busqueda pero aumenta tiempo por iteracion.",
     "4", {139, 716, 154, 731}},
    {app::IDC_MUTATION_PERCENT, "probabilidad de mutar orden/rotacion de piezas.",
     "8% para explorar sin destruir siempre las mejores soluciones.",
     "8%", {395, 716, 410, 731}},
    {app::IDC_SHUFFLE_PERCENT, "probabilidad de hacer un salto aleatorio fuerte.",
     "10% para escapar de soluciones trabadas.",
     "10%", {139, 743, 154, 758}},
    {app::IDC_SHUFFLE_INTENSITY, "cuanta parte del ordenamiento se mezcla cuando hay shuffle.",
     "15% para cambios moderados; subirlo si se estanca mucho.",
     "15%", {395, 743, 410, 758}},
    {app::IDC_SOLVER, "motor que calcula los acomodos.",
     "cpu para estabilidad; dual-gpu si queres probar velocidad y tu placa lo soporta.",
     "cpu", {139, 770, 154, 785}},
    {app::IDC_PERF_LOG, "guarda metricas de rendimiento para analizar tiempos e iteraciones.",
     "apagado en uso normal; encendido cuando estas tuneando parametros.",
     "apagado", {395, 770, 410, 785}},
};

}  // namespace help_marker_test
