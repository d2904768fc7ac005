#include "app/core/help_markers.hpp"

#include "app/core/control_ids.hpp"

namespace app {

const std::vector<HelpMarkerSpec>& help_marker_specs() {
    static const std::vector<HelpMarkerSpec> specs = {
        {IDC_QUANTITY, "cuantas copias de este DXF entran al nesting.",
         "usar la cantidad real a fabricar; para muchas piezas iguales el programa agrupa repetidas.",
         "1", 223, 198},
        {IDC_SHEET_WIDTH, "el ancho util de la chapa donde se acomodan las piezas.",
         "3000 mm si trabajas con chapa 3000 x 1500.",
         "3000 mm", 100, 262},
        {IDC_SHEET_HEIGHT, "el alto util de la chapa donde se acomodan las piezas.",
         "1500 mm si trabajas con chapa 3000 x 1500.",
         "1500 mm", 208, 262},
        {IDC_PRICE_PER_KG, "el costo por kilo usado para estimar ahorro economico.",
         "actualizarlo con tu precio real de compra.",
         "6500", 96, 316},
        {IDC_DENSITY, "la densidad del material para calcular peso y costo.",
         "8000 kg/m3 para acero al carbono aproximado.",
         "8000 kg/m3", 204, 316},
        {IDC_THICKNESS, "el espesor de chapa para estimar peso y costo.",
         "poner el espesor real del trabajo.",
         "2.5 mm", 310, 316},
        {IDC_UNIT_MM, "la unidad visual de la interfaz.",
         "mm para fabricacion metalica y DXF de corte.",
         "mm", 139, 426},
        {IDC_SPACING, "la separacion minima entre piezas para corte, kerf y seguridad.",
         "5 mm para empezar; bajalo si tu proceso permite menos separacion.",
         "5 mm", 395, 426},
        {IDC_CURVE_TOLERANCE, "que tan fina se aproxima una curva al cargar DXF.",
         "2 mm para velocidad; bajalo para curvas chicas o piezas delicadas.",
         "2 mm", 139, 453},
        {IDC_ROTATIONS, "cuantas orientaciones prueba por pieza.",
         "2 para rapido; 4 u 8 cuando buscas mas aprovechamiento.",
         "2", 395, 453},
        {IDC_OPTIMIZATION_TYPE, "el criterio principal para comparar acomodos.",
         "Bounding Box para reducir largo/ancho ocupado; Area compacta para empaquetar mas cerrado.",
         "Bounding Box", 139, 480},
        {IDC_ROUGH_CURVES, "usa una aproximacion mas gruesa de curvas para acelerar pruebas.",
         "apagado para resultados finales; encendido solo para exploracion rapida.",
         "apagado", 395, 480},
        {IDC_THREADS, "cuantos nucleos de CPU usa el solver y la carga de DXF.",
         "usar 8 o la cantidad de nucleos reales disponibles.",
         "8", 139, 507},
        {IDC_MAX_ITERATIONS, "cantidad maxima de iteraciones del solver.",
         "0 para que siga hasta que lo pauses o detengas.",
         "0", 395, 507},
        {IDC_SVG_SCALE, "escala historica para importar SVG si se usa esa ruta.",
         "dejarlo como esta salvo que un archivo entre con escala incorrecta.",
         "2.834645 units/mm", 139, 584},
        {IDC_JOIN_TOLERANCE, "tolerancia para unir extremos cercanos al reconstruir contornos DXF.",
         "0.2 mm para cerrar pequenas diferencias sin deformar piezas.",
         "0.2 mm", 395, 584},
        {IDC_INPUT_UNITS, "unidades con las que se interpretan los DXF de entrada.",
         "mm para SolidWorks/AutoCAD cuando los planos estan en milimetros.",
         "mm", 139, 611},
        {IDC_OUTPUT_UNITS, "unidades del DXF guardado.",
         "mm siempre para evitar que AutoCAD/eDrawings lo lea en pulgadas.",
         "mm", 395, 611},
        {IDC_MERGE_COMMON_LINES, "intenta no duplicar lineas compartidas cuando dos piezas quedan tocandose.",
         "encendido si queres ahorrar cortes; funciona mejor con separacion 0.",
         "encendido", 139, 689},
        {IDC_OPTIMIZATION_RATIO, "balance interno entre compactacion y criterio de ocupacion.",
         "0.5 como punto medio; subirlo o bajarlo para comparar estrategias.",
         "0.5", 395, 689},
        {IDC_POPULATION, "cuantas variantes mantiene el algoritmo genetico en cada ciclo.",
         "4 para velocidad; subirlo mejora busqueda pero aumenta tiempo por iteracion.",
         "4", 139, 716},
        {IDC_MUTATION_PERCENT, "probabilidad de mutar orden/rotacion de piezas.",
         "8% para explorar sin destruir siempre las mejores soluciones.",
         "8%", 395, 716},
        {IDC_SHUFFLE_PERCENT, "probabilidad de hacer un salto aleatorio fuerte.",
         "10% para escapar de soluciones trabadas.",
         "10%", 139, 743},
        {IDC_SHUFFLE_INTENSITY, "cuanta parte del ordenamiento se mezcla cuando hay shuffle.",
         "15% para cambios moderados; subirlo si se estanca mucho.",
         "15%", 395, 743},
        {IDC_SOLVER, "motor que calcula los acomodos.",
         "cpu para estabilidad; dual-gpu si queres probar velocidad y tu placa lo soporta.",
         "cpu", 139, 770},
        {IDC_PERF_LOG, "guarda metricas de rendimiento para analizar tiempos e iteraciones.",
         "apagado en uso normal; encendido cuando estas tuneando parametros.",
         "apagado", 395, 770},
    };
    return specs;
}

std::string help_tooltip_text(const std::string& what, const std::string& advice,
                              const std::string& default_text) {
    return "Que modifica: " + what + "\r\n" + "Recomendado: " + advice + "\r\n" + "Default: " +
           default_text;
}

void add_help_marker(std::vector<HelpMarker>& markers, int control_id, const std::string& what,
                     const std::string& advice, const std::string& default_text) {
    HelpMarker m;
    m.control_id = control_id;
    m.tooltip_text = help_tooltip_text(what, advice, default_text);
    m.visible = true;
    markers.push_back(std::move(m));
}

Rect help_marker_rect(const HelpMarkerSpec& desc, int parts_list_height, int panel_scroll) {
    const int top = parts_list_height + desc.top_offset - panel_scroll;
    return Rect{desc.left, top, desc.left + kHelpMarkerSize, top + kHelpMarkerSize};
}

void layout_help_markers(std::vector<HelpMarker>& markers, int parts_list_height,
                         int panel_scroll) {
    for (const HelpMarkerSpec& desc : help_marker_specs()) {
        for (HelpMarker& m : markers) {
            if (m.control_id != desc.control_id) continue;
            m.hot_rect = help_marker_rect(desc, parts_list_height, panel_scroll);
            break;
        }
    }
}

}  // namespace app
